// Where a request's body ends, so that nothing the browser sends after it
// reaches the server: a browser that reuses its connection to the proxy sends
// its next request there, meant for another site and with that site's cookies.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/http_request.h"

class RequestBodyEnd {
public:
    // The framing the head gave: a length, chunks, or no body at all.
    explicit RequestBodyEnd(const ParsedRequest& request);

    // How many of the next `length` bytes still belong to the body; the
    // rest come after its end.
    size_t Take(const char* data, size_t length);
    bool Ended() const { return state_ == State::Ended; }

private:
    enum class State {
        Counted,
        ChunkSize,
        ChunkExtension,
        ChunkData,
        ChunkDataEnd,
        Trailer,
        Ended
    };

    // One byte of a chunked body outside chunk data.
    void TakeChunked(char c);

    State state_;
    uint64_t left_ = 0;  // bytes of the counted body or of the current chunk
    bool sizeHasDigits_ = false;
    size_t trailerLine_ = 0;  // bytes of the trailer line so far
};
