#include "browsers/profile_folders_win.h"

#include <windows.h>
#include <shlobj.h>

namespace {

std::string BelowApplicationData(const char* subPath) {
    std::string folder = ApplicationDataFolder();
    return folder.empty() ? std::string() : folder + subPath;
}

}  // namespace

std::string ApplicationDataFolder() {
    char folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::string();
    return folder;
}

std::string MozillaProfileRoot() {
    return BelowApplicationData("\\Mozilla\\Profiles\\default\\");
}

std::string FirefoxProfileRoot() {
    return BelowApplicationData("\\Mozilla\\Firefox\\Profiles\\");
}

std::string OperaProfileFolder() {
    return BelowApplicationData("\\Opera\\Opera\\profile");
}
