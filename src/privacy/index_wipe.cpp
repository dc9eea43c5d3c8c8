#include "privacy/index_wipe.h"

std::vector<uint32_t> IndexWipeWrites(uint64_t fileSize) {
    std::vector<uint32_t> writes;
    if (fileSize <= IndexHeaderSize)
        return writes;
    uint64_t remaining = fileSize - IndexHeaderSize;
    while (remaining > 0) {
        uint32_t piece =
            remaining > WipeChunkSize ? WipeChunkSize : static_cast<uint32_t>(remaining);
        writes.push_back(piece);
        remaining -= piece;
    }
    return writes;
}
