#include "base/text_compare.h"

#include <cctype>

namespace base {

bool EqualsIgnoringCase(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (aLength != bLength)
        return false;
    for (size_t i = 0; i < aLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace base
