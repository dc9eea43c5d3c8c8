#include "proxies/list_sources/sources_editor.h"

#include "proxies/proxy_check.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

SourcesEditor::SourcesEditor(std::vector<ProxySource> sources, const std::string& judgeSetting)
    : sources_(std::move(sources)) {
    if (sources_.empty() || !sources_[0].IsMakers())
        sources_.insert(sources_.begin(), ProxySource());
    for (const std::string& url : SplitJudgeUrls(judgeSetting))
        judgeText_ += (judgeText_.empty() ? "" : "\r\n") + url;
}

bool SourcesEditor::Add(const std::string& location, net::ProxyType defaultType,
                        std::string& problem) {
    if (!CheckSourceLocation(location, problem))
        return false;
    for (const ProxySource& source : sources_) {
        if (source.location == location) {
            problem = "That list is among the sources already.";
            return false;
        }
    }
    sources_.push_back({location, true, defaultType});
    return true;
}

bool SourcesEditor::Remove(size_t index) {
    if (index == 0 || index >= sources_.size())
        return false;
    sources_.erase(sources_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool SourcesEditor::MoveUp(size_t index) {
    if (index < 2 || index >= sources_.size())
        return false;
    std::swap(sources_[index - 1], sources_[index]);
    return true;
}

bool SourcesEditor::MoveDown(size_t index) {
    if (index == 0 || index + 1 >= sources_.size())
        return false;
    std::swap(sources_[index], sources_[index + 1]);
    return true;
}

void SourcesEditor::SetTicked(size_t index, bool ticked) {
    if (index < sources_.size())
        sources_[index].ticked = ticked;
}

void SourcesEditor::SetDefaultType(size_t index, net::ProxyType type) {
    if (index < sources_.size())
        sources_[index].defaultType = type;
}

bool SourcesEditor::SetJudgeText(const std::string& text, std::string& problem) {
    std::string taken;
    for (const std::string& url : SplitJudgeUrls(text)) {
        ProxyJudge judge;
        if (!ParseJudgeUrl(url, judge)) {
            problem = "\"" + url +
                      "\" is not a test page Veilgate can use: type a plain http:// address, "
                      "for example http://judge.example/azenv.php.";
            return false;
        }
        taken += (taken.empty() ? "" : "\r\n") + url;
    }
    judgeText_ = taken;
    return true;
}

std::string SourcesEditor::JudgeSetting() const {
    return JoinJudgeUrls(SplitJudgeUrls(judgeText_));
}

void SourcesEditor::Save() const {
    SaveProxySources(sources_);
    RegStringValue(setting::JudgeUrl, "").Set(JudgeSetting());
}

std::string SourceDisplayText(const ProxySource& source) {
    return source.IsMakers() ? "Veilgate's own list" : source.location;
}

std::string JudgeTestLine(const std::string& url, bool answered, const std::string& seenAddress) {
    if (!answered)
        return url + ": no answer as a test page";
    return url + ": answers, and sees you as " +
           (seenAddress.empty() ? std::string("no address it names") : seenAddress);
}
