#include "browsers/mozilla_prefs_win.h"

#include <windows.h>

#include "base/files.h"
#include "browsers/file_finder_win.h"
#include "browsers/prefs_text.h"
#include "browsers/profile_folders_win.h"
#include "browsers/text_file.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// A browser keeps several profiles side by side and any of them may be the
// one in use, so each one found is pointed at the proxy, and back.
bool EditProfileTree(const std::string& profileRoot, const TextEdit& edit) {
    if (profileRoot.empty())
        return false;
    bool editedAny = false;
    bool failedAny = false;
    for (const std::string& path : FindPrefsFiles(profileRoot)) {
        if (!base::FileExists(path))
            continue;
        if (EditTextFile(path, edit))
            editedAny = true;
        else
            failedAny = true;
    }
    return editedAny && !failedAny;
}

int LocalPort() {
    return static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
}

}  // namespace

std::vector<std::string> FindPrefsFiles(const std::string& profileRoot) {
    FileFinder finder;
    finder.ClearMatches();
    finder.Scan(profileRoot, true);
    finder.Find("prefs.js", true, false);
    std::vector<std::string> paths;
    for (const FileMatch& match : finder.Matches())
        paths.push_back(match.path);
    return paths;
}

bool EnableProxyInProfileTree(const std::string& profileRoot, int port) {
    return EditProfileTree(
        profileRoot, [port](const std::string& text) { return prefs::EnableProxy(text, port); });
}

bool DisableProxyInProfileTree(const std::string& profileRoot) {
    return EditProfileTree(profileRoot, prefs::DisableProxy);
}

void SetMozillaProxy() {
    EnableProxyInProfileTree(MozillaProfileRoot(), LocalPort());
}

void DisableMozillaProxy() {
    DisableProxyInProfileTree(MozillaProfileRoot());
}

void SetFirefoxProxy() {
    EnableProxyInProfileTree(FirefoxProfileRoot(), LocalPort());
}

void DisableFirefoxProxy() {
    DisableProxyInProfileTree(FirefoxProfileRoot());
}
