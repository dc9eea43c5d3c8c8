#include "browsers/mozilla_prefs_win.h"

#include <windows.h>

#include <functional>

#include "base/files.h"
#include "browsers/file_finder_win.h"
#include "browsers/prefs_text.h"
#include "browsers/profile_folders_win.h"
#include "browsers/text_file_win.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

using Edit = std::function<std::string(const std::string& text)>;

bool EditProfileTree(const std::string& profileRoot, const Edit& edit) {
    if (profileRoot.empty())
        return false;
    std::string path = FindPrefsFile(profileRoot);
    if (path.empty() || !base::FileExists(path))
        return false;
    std::string text;
    if (!ReadTextFile(path, text))
        return false;
    return ReplaceTextFile(path, edit(text));
}

int LocalPort() {
    return static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
}

}  // namespace

std::string FindPrefsFile(const std::string& profileRoot) {
    FileFinder finder;
    finder.ClearMatches();
    finder.Scan(profileRoot, true);
    finder.Find("prefs.js", true, false);
    return finder.Matches().empty() ? std::string() : finder.Matches().back().path;
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
