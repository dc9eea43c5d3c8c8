#include "browsers/folder_path.h"

namespace {

std::string WithoutTrailingSpace(const std::string& text) {
    size_t end = text.find_last_not_of(" \t\r\n\v\f");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

std::string NormaliseFolder(const std::string& folder) {
    std::string result = folder;
    for (;;) {
        std::string copy = WithoutTrailingSpace(result);
        size_t separator = copy.rfind('\\');
        if (separator == std::string::npos)
            separator = copy.rfind('/');
        if (separator == std::string::npos || separator + 1 != copy.size())
            return result;
        result = copy.substr(0, separator);
    }
}
