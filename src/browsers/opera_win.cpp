#include "browsers/opera_win.h"

#include <windows.h>

#include <vector>

#include "base/files.h"
#include "base/scoped_win.h"
#include "base/text_compare.h"
#include "browsers/connection_switch.h"
#include "browsers/engine_ports.h"
#include "browsers/file_record.h"
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

constexpr char ProxySection[] = "Proxy";

std::vector<std::string> ChangedKeys() {
    return {"Use HTTP", "HTTP Server", "Use HTTPS", "HTTPS Server"};
}

// The key names of the section, to tell an entry the file lacks from an
// empty one: for a missing key the profile functions answer the default.
std::vector<std::string> SectionKeys(const std::string& path) {
    std::vector<char> names(32768);
    DWORD length = GetPrivateProfileStringA(ProxySection, nullptr, "", names.data(),
                                            static_cast<DWORD>(names.size()), path.c_str());
    std::vector<std::string> keys;
    for (size_t at = 0; at < length && names[at] != '\0'; at += keys.back().size() + 1)
        keys.emplace_back(names.data() + at);
    return keys;
}

SavedFile UsersOwn(const std::string& path) {
    SavedFile file{path, {}};
    std::vector<std::string> present = SectionKeys(path);
    for (const std::string& key : ChangedKeys()) {
        SavedEntry entry;
        entry.name = key;
        for (const std::string& each : present)
            entry.present = entry.present || base::EqualsIgnoringCase(each, key);
        char value[1024] = {};
        if (entry.present) {
            GetPrivateProfileStringA(ProxySection, key.c_str(), "", value, sizeof(value),
                                     path.c_str());
            entry.value = value;
        }
        file.entries.push_back(entry);
    }
    return file;
}

std::string Value(const std::string& path, const char* key) {
    char value[1024] = {};
    GetPrivateProfileStringA(ProxySection, key, "", value, sizeof(value), path.c_str());
    return value;
}

// Whether the file points at the engine on any port it has used.
bool PointsAtEngine(const std::string& path, const std::vector<int>& ports) {
    return Value(path, "Use HTTP") == "1" && IsEngineServer(Value(path, "HTTP Server"), ports);
}

// Saves what the user had before the first change. A record already made is
// kept whatever the file says now: only it knows what the user had before an
// earlier run (on this port or another) pointed the file at the engine. A
// file that points at the engine without one was left so by a run that did
// not end in order: the user is taken to have had none of the entries.
bool SaveUsersOwn(const std::string& path, const std::vector<int>& ports) {
    std::vector<SavedFile> record;
    LoadSavedFiles(SavedOperaIniKey, ChangedKeys(), record);
    if (FindSavedFile(record, path))
        return true;
    bool leftover = PointsAtEngine(path, ports);
    SavedFile own = UsersOwn(path);
    if (leftover) {
        for (SavedEntry& entry : own.entries)
            entry.present = false;
    }
    PutSavedFile(record, own);
    return SaveFiles(SavedOperaIniKey, record);
}

int EnginePort() {
    return static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
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
    int port = EnginePort();
    std::string server = LoopbackProxyServer(port);
    RememberEnginePort(port);
    if (!SaveUsersOwn(path, EnginePortsWith(port)))
        return;
    WritePrivateProfileStringA(ProxySection, "Use HTTP", "1", path.c_str());
    WritePrivateProfileStringA(ProxySection, "HTTP Server", server.c_str(), path.c_str());
    // Opera's secure traffic has its own switch and server; without them it
    // goes straight to the web site.
    WritePrivateProfileStringA(ProxySection, "Use HTTPS", "1", path.c_str());
    WritePrivateProfileStringA(ProxySection, "HTTPS Server", server.c_str(), path.c_str());
    if (IsInstallationFile(file))
        WritePrivateProfileStringA("User Prefs", "Home URL", OperaHomeUrl, path.c_str());
}

void DisableOperaProxy(OperaFile file, WithoutRecord withoutRecord) {
    std::string path = OperaFilePath(file);
    if (!base::FileExists(path))
        return;
    std::vector<SavedFile> record;
    LoadSavedFiles(SavedOperaIniKey, ChangedKeys(), record);
    const SavedFile* saved = FindSavedFile(record, path);
    if (!saved) {
        if (withoutRecord == WithoutRecord::OnlyWhenPointedAtEngine &&
            !PointsAtEngine(path, EnginePortsWith(EnginePort())))
            return;
        WritePrivateProfileStringA(ProxySection, "Use HTTP", "0", path.c_str());
        WritePrivateProfileStringA(ProxySection, "Use HTTPS", "0", path.c_str());
        return;
    }
    bool ok = true;
    for (const SavedEntry& entry : saved->entries) {
        // A null value removes the key.
        ok = WritePrivateProfileStringA(ProxySection, entry.name.c_str(),
                                        entry.present ? entry.value.c_str() : nullptr,
                                        path.c_str()) &&
             ok;
    }
    if (ok) {
        DropSavedFile(record, path);
        SaveFiles(SavedOperaIniKey, record);
    }
}
