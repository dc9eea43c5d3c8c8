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

int CompareIgnoringCase(const std::string& a, const std::string& b) {
    size_t length = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < length; ++i) {
        int lowerA = std::tolower(static_cast<unsigned char>(a[i]));
        int lowerB = std::tolower(static_cast<unsigned char>(b[i]));
        if (lowerA != lowerB)
            return lowerA - lowerB;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace base
