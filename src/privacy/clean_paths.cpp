#include "privacy/clean_paths.h"

#include "base/files.h"
#include "base/text_compare.h"

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
    return base::EqualsIgnoringCase(a, b);
}

CacheFolderKind ClassifyCacheFolder(const std::string& name) {
    if (SameFileName(name, "Content.IE5") || SameFileName(name, "IE"))
        return CacheFolderKind::BrowserCache;
    if (SameFileName(name, "Low"))
        return CacheFolderKind::LowIntegrity;
    return CacheFolderKind::Other;
}
