#include "engine/request_body.h"

namespace {

// Chunk sizes past this are no body a browser sends, and would overflow.
constexpr uint64_t MaxChunkSize = uint64_t(1) << 48;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

RequestBodyEnd::RequestBodyEnd(const ParsedRequest& request) {
    if (request.chunked) {
        state_ = State::ChunkSize;
    } else if (request.contentLength > 0) {
        state_ = State::Counted;
        left_ = static_cast<uint64_t>(request.contentLength);
    } else {
        state_ = State::Ended;
    }
}

size_t RequestBodyEnd::Take(const char* data, size_t length) {
    if (state_ == State::Counted) {
        size_t taken = left_ < length ? static_cast<size_t>(left_) : length;
        left_ -= taken;
        if (left_ == 0)
            state_ = State::Ended;
        return taken;
    }
    size_t taken = 0;
    while (taken < length && state_ != State::Ended) {
        if (state_ == State::ChunkData) {
            size_t run = length - taken;
            if (left_ < run)
                run = static_cast<size_t>(left_);
            taken += run;
            left_ -= run;
            if (left_ == 0)
                state_ = State::ChunkDataEnd;
            continue;
        }
        TakeChunked(data[taken++]);
    }
    return taken;
}

void RequestBodyEnd::TakeChunked(char c) {
    switch (state_) {
    case State::ChunkSize: {
        int digit = HexValue(c);
        if (digit >= 0 && left_ < MaxChunkSize) {
            left_ = left_ * 16 + static_cast<uint64_t>(digit);
            sizeHasDigits_ = true;
            return;
        }
        if (c != '\n' && c != '\r' && c != ';' && c != ' ' && c != '\t') {
            state_ = State::Ended;  // not a chunk: the body cannot go on
            return;
        }
        state_ = State::ChunkExtension;
        [[fallthrough]];
    }
    case State::ChunkExtension:
        if (c != '\n')
            return;
        if (!sizeHasDigits_)
            state_ = State::Ended;
        else if (left_ == 0)
            state_ = State::Trailer;
        else
            state_ = State::ChunkData;
        sizeHasDigits_ = false;
        trailerLine_ = 0;
        return;
    case State::ChunkDataEnd:
        if (c == '\n')
            state_ = State::ChunkSize;
        return;
    case State::Trailer:
        if (c == '\n') {
            if (trailerLine_ == 0)
                state_ = State::Ended;
            trailerLine_ = 0;
        } else if (c != '\r') {
            ++trailerLine_;
        }
        return;
    default:
        return;
    }
}
