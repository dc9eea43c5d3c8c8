// How a history index file is overwritten: its 64-byte header stays, the rest
// becomes zero bytes written in pieces of at most 10000.
#pragma once

#include <cstdint>
#include <vector>

constexpr uint64_t IndexHeaderSize = 64;
constexpr uint32_t WipeChunkSize = 10000;

// The sizes of the successive zero-byte writes for a file of `fileSize`
// bytes. A file no longer than its header gets no write at all.
std::vector<uint32_t> IndexWipeWrites(uint64_t fileSize);
