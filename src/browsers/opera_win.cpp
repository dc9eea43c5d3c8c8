#include "browsers/opera_win.h"

#include <windows.h>

#include "base/files.h"
#include "base/scoped_win.h"
#include "browsers/profile_folders_win.h"
#include "settings/reg_value.h"
#include "settings/registry_key_win.h"
#include "settings/settings_names.h"

namespace {

// The installation folder as Opera registered it. The key is only read: a
// missing key means Opera is not installed, and creating it would leave a
// trace of a program that is not there.
std::string InstallationFolder() {
    base::ScopedRegKey probe;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, OperaAppPathsKey, 0, KEY_READ, probe.Receive()) !=
        ERROR_SUCCESS)
        return std::string();
    RegistryKey key(HKEY_LOCAL_MACHINE, OperaAppPathsKey, KEY_READ);
    std::string folder;
    if (key.Open() != ERROR_SUCCESS)
        return std::string();
    key.ReadText("Path", folder);
    key.Close();
    return folder;
}

std::string Beside(const std::string& folder, const char* fileName) {
    // Without a folder the name alone would point at the root of the current
    // drive, which is no file of Opera's.
    return folder.empty() ? std::string() : folder + fileName;
}

bool IsInstallationFile(OperaFile file) {
    return file != OperaFile::ProfileIni;
}

}  // namespace

std::string OperaFilePath(OperaFile file) {
    switch (file) {
    case OperaFile::InstallationIni:
        return Beside(InstallationFolder(), "\\Opera6.ini");
    case OperaFile::ProfileIni:
        return Beside(OperaProfileFolder(), "\\Opera6.ini");
    case OperaFile::InstallationDefaults:
        return Beside(InstallationFolder(), "\\OperaDef6.ini");
    }
    return std::string();
}

void SetOperaProxy(OperaFile file) {
    std::string path = OperaFilePath(file);
    if (!base::FileExists(path))
        return;
    uint32_t port = RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get();
    std::string server = "127.0.0.1:" + std::to_string(static_cast<int>(port));
    WritePrivateProfileStringA("Proxy", "Use HTTP", "1", path.c_str());
    WritePrivateProfileStringA("Proxy", "HTTP Server", server.c_str(), path.c_str());
    // Opera's secure traffic has its own switch and server; without them it
    // goes straight to the web site.
    WritePrivateProfileStringA("Proxy", "Use HTTPS", "1", path.c_str());
    WritePrivateProfileStringA("Proxy", "HTTPS Server", server.c_str(), path.c_str());
    if (IsInstallationFile(file))
        WritePrivateProfileStringA("User Prefs", "Home URL", OperaHomeUrl, path.c_str());
}

void DisableOperaProxy(OperaFile file) {
    std::string path = OperaFilePath(file);
    if (!base::FileExists(path))
        return;
    WritePrivateProfileStringA("Proxy", "Use HTTP", "0", path.c_str());
    WritePrivateProfileStringA("Proxy", "Use HTTPS", "0", path.c_str());
}
