#include "browsers_test_support.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "browsers/engine_ports.h"
#include "browsers/file_record.h"
#include "registry_test_support.h"

namespace testing_support {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

bool MakeFolders(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteTree(const std::string& path) {
    for (const std::string& name : ListNames(path)) {
        std::string child = path + "\\" + name;
        DWORD attributes = GetFileAttributesA(child.c_str());
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            DeleteTree(child);
        else
            DeleteFileA(child.c_str());
    }
    RemoveDirectoryA(path.c_str());
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string MakePrefs(const std::string& root, const std::string& folder,
                      const std::string& bytes) {
    std::string dir = root + folder;
    EXPECT_TRUE(MakeFolders(dir));
    std::string path = dir + "\\prefs.js";
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
}

std::vector<std::string> ListNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0)
            names.push_back(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

void ClearBrowserSettings() {
    for (const char* name : {"LocalPort", "Opera", "Netscape", "Mozilla"})
        DeleteValue(ProductRoot, ProductKey, name);
    for (const char* record :
         {SavedMozillaPrefsKey, SavedMozillaUserJsKey, SavedOperaIniKey, EnginePortsKey})
        RegDeleteTreeA(HKEY_CURRENT_USER, record);
}

bool QueryLanSettings(PerConnectionState& state) {
    INTERNET_PER_CONN_OPTIONA options[3] = {};
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    INTERNET_PER_CONN_OPTION_LISTA list = {};
    list.dwSize = sizeof(list);
    list.dwOptionCount = 3;
    list.pOptions = options;
    DWORD size = sizeof(list);
    if (!InternetQueryOptionA(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size))
        return false;
    state.flags = options[0].Value.dwValue;
    state.server = options[1].Value.pszValue ? options[1].Value.pszValue : "";
    state.bypass = options[2].Value.pszValue ? options[2].Value.pszValue : "";
    GlobalFree(options[1].Value.pszValue);
    GlobalFree(options[2].Value.pszValue);
    return true;
}

DWORD LanFlags() {
    PerConnectionState state;
    return QueryLanSettings(state) ? state.flags : 0;
}

bool SetLanDirectly(DWORD flags, const char* server) {
    INTERNET_PER_CONN_OPTIONA options[2] = {};
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[0].Value.dwValue = flags;
    options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[1].Value.pszValue = const_cast<char*>(server);
    INTERNET_PER_CONN_OPTION_LISTA list = {sizeof(list), nullptr, 2, 0, options};
    return InternetSetOptionA(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list,
                              sizeof(list)) != FALSE;
}

}  // namespace testing_support
