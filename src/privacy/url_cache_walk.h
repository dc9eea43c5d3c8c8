// Which URL-cache entries a cleaning choice removes. WinINet keeps cookies and
// the visited-page records in containers of their own ("cookie:",
// "visited:"); a listing without a pattern covers only the content cache on
// Windows, but every container under Wine, so each walk also checks what an
// entry is before it deletes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class UrlCacheMode {
    AllButCookies = 0,  // the content cache: pages, pictures, scripts
    CookiesOnly = 1,
    HistoryOnly = 2,
};

// The entry type bits that mark a cookie and a visited-page record.
constexpr uint32_t CookieEntryBit = 0x00100000;
constexpr uint32_t UrlHistoryEntryBit = 0x00200000;

struct UrlCacheEntry {
    std::string url;
    uint32_t type = 0;
};

class UrlCacheSource {
public:
    virtual ~UrlCacheSource() = default;
    // Lists the entries of the container that `pattern` names ("cookie:",
    // "visited:", or nullptr for the content cache); false when it cannot.
    virtual bool List(const char* pattern, std::vector<UrlCacheEntry>& entries) = 0;
    virtual void Delete(const std::string& url) = 0;
};

// The container pattern a mode lists.
const char* UrlCachePattern(UrlCacheMode mode);
// True when the entry belongs to the kind the mode removes.
bool UrlCacheEntryMatches(UrlCacheMode mode, const UrlCacheEntry& entry);
// Deletes the mode's entries; false when its container cannot be listed.
bool ClearUrlCacheEntries(UrlCacheMode mode, UrlCacheSource& cache);
