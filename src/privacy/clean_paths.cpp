#include "privacy/clean_paths.h"

#include <cctype>

bool FitsPathBuffer(const std::string& path) {
    return path.size() < kMaxPathChars;
}

bool AppendPath(const std::string& base, const std::string& suffix, std::string& out) {
    std::string joined = base + suffix;
    if (!FitsPathBuffer(joined))
        return false;
    out = joined;
    return true;
}

bool JoinPath(const std::string& folder, const std::string& name, std::string& out) {
    return AppendPath(folder, "\\" + name, out);
}

bool SameFileName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}
