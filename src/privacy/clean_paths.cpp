#include "privacy/clean_paths.h"

#include <cctype>

#include "base/files.h"

bool FitsPathBuffer(const std::string& path) {
    return path.size() < MaxPathChars;
}

bool AppendPath(const std::string& base, const std::string& suffix, std::string& out) {
    std::string joined = base + suffix;
    if (!FitsPathBuffer(joined))
        return false;
    out = joined;
    return true;
}

bool FittingPath(const std::string& folder, const std::string& name, std::string& out) {
    std::string joined = base::JoinPath(folder, name);
    if (!FitsPathBuffer(joined))
        return false;
    out = joined;
    return true;
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
