#include "browsers/mozilla_prefs_win.h"

#include <windows.h>

#include "browsers/file_finder_win.h"
#include "browsers/prefs_text.h"
#include "browsers/profile_folders_win.h"
#include "browsers/text_file_win.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

using Edit = std::string (*)(const std::string& text, int port);

std::string Enable(const std::string& text, int port) {
    return prefs::EnableProxy(text, port);
}

std::string Disable(const std::string& text, int) {
    return prefs::DisableProxy(text);
}

bool IsExistingFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool EditProfileTree(const std::string& profileRoot, Edit edit, int port) {
    if (profileRoot.empty())
        return false;
    std::string path = FindPrefsFile(profileRoot);
    if (path.empty() || !IsExistingFile(path))
        return false;
    std::string text;
    if (!ReadTextFile(path, text))
        return false;
    return ReplaceTextFile(path, edit(text, port));
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
    return EditProfileTree(profileRoot, Enable, port);
}

bool DisableProxyInProfileTree(const std::string& profileRoot) {
    return EditProfileTree(profileRoot, Disable, 0);
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
