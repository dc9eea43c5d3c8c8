#include "privacy/url_cache_walk.h"

#include "base/text_compare.h"

namespace {

bool IsCookie(const UrlCacheEntry& entry) {
    return (entry.type & CookieEntryBit) != 0 || base::StartsWithIgnoringCase(entry.url, "Cookie:");
}

bool IsVisitedRecord(const UrlCacheEntry& entry) {
    return (entry.type & UrlHistoryEntryBit) != 0 ||
           base::StartsWithIgnoringCase(entry.url, "Visited:");
}

}  // namespace

const char* UrlCachePattern(UrlCacheMode mode) {
    switch (mode) {
    case UrlCacheMode::CookiesOnly:
        return "cookie:";
    case UrlCacheMode::HistoryOnly:
        return "visited:";
    case UrlCacheMode::AllButCookies:
        break;
    }
    return nullptr;
}

bool UrlCacheEntryMatches(UrlCacheMode mode, const UrlCacheEntry& entry) {
    switch (mode) {
    case UrlCacheMode::CookiesOnly:
        return IsCookie(entry);
    case UrlCacheMode::HistoryOnly:
        return IsVisitedRecord(entry) && !IsCookie(entry);
    case UrlCacheMode::AllButCookies:
        break;
    }
    return !IsCookie(entry) && !IsVisitedRecord(entry);
}

bool ClearUrlCacheEntries(UrlCacheMode mode, UrlCacheSource& cache) {
    std::vector<UrlCacheEntry> entries;
    if (!cache.List(UrlCachePattern(mode), entries))
        return false;
    for (const UrlCacheEntry& entry : entries) {
        if (!entry.url.empty() && UrlCacheEntryMatches(mode, entry))
            cache.Delete(entry.url);
    }
    return true;
}
