#include "privacy/index_wipe.h"

std::vector<uint32_t> IndexWipeWrites(uint64_t fileSize) {
    std::vector<uint32_t> writes;
    if (fileSize <= kIndexHeaderSize)
        return writes;
    uint64_t remaining = fileSize - kIndexHeaderSize;
    while (remaining > 0) {
        uint32_t piece =
            remaining > kWipeChunkSize ? kWipeChunkSize : static_cast<uint32_t>(remaining);
        writes.push_back(piece);
        remaining -= piece;
    }
    return writes;
}
