// What the "Proxy Sources" dialog edits, apart from its window: the ordered
// sources (the maker's list stays first and cannot be removed) and the test
// pages, checked before anything is stored.
#pragma once

#include <string>
#include <vector>

#include "proxies/list_sources/proxy_sources.h"

class SourcesEditor {
public:
    SourcesEditor(std::vector<ProxySource> sources, const std::string& judgeSetting);

    const std::vector<ProxySource>& Sources() const { return sources_; }
    // The test pages one a line, as the dialog's field shows them.
    const std::string& JudgeText() const { return judgeText_; }

    // False, with a sentence for the user, when the location cannot be a
    // source or is one already.
    bool Add(const std::string& location, net::ProxyType defaultType, std::string& problem);
    // The maker's list is not removed, and stays first.
    bool Remove(size_t index);
    bool MoveUp(size_t index);
    bool MoveDown(size_t index);
    void SetTicked(size_t index, bool ticked);
    void SetDefaultType(size_t index, net::ProxyType type);

    // Takes the field's text: every line a plain http:// address, or none
    // (the maker's page); false with a sentence naming the first that is not.
    bool SetJudgeText(const std::string& text, std::string& problem);
    // The JudgeUrl setting's text for the pages taken.
    std::string JudgeSetting() const;

    // Stores the sources and the test pages in the user's key.
    void Save() const;

private:
    std::vector<ProxySource> sources_;
    std::string judgeText_;
};

// How the list shows a source: "Veilgate's own list" for the maker's.
std::string SourceDisplayText(const ProxySource& source);

// One line of what "Test" found for a page: whether it answered as a test
// page (echoing the check's marker), and the address it saw.
std::string JudgeTestLine(const std::string& url, bool answered, const std::string& seenAddress);
