#include "browsers/connection_system_win.h"

#include <ras.h>
#include <raserror.h>

#include <new>

#include "settings/reg_value.h"

namespace {

// ras.h spells the type as a macro that names the struct.
using EntryName = RASENTRYNAMEA;

constexpr char DefaultInternetValue[] =
    "Software\\Microsoft\\RAS AutoDial\\Default\\DefaultInternet";

// One option list for the connection; the system wants a writable name.
struct OptionList {
    OptionList(const ConnectionTarget& target, INTERNET_PER_CONN_OPTIONA* options, DWORD count)
        : name(target.name.begin(), target.name.end()) {
        name.push_back('\0');
        list.dwSize = sizeof(list);
        list.pszConnection = target.isLan ? nullptr : name.data();
        list.dwOptionCount = count;
        list.dwOptionError = 0;
        list.pOptions = options;
    }
    std::vector<char> name;
    INTERNET_PER_CONN_OPTION_LISTA list = {};
};

std::vector<char> Writable(const std::string& text) {
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    return copy;
}

}  // namespace

INTERNET_PER_CONN_OPTIONA* InternetSettingsApi::AllocateOptions(DWORD count) {
    return new (std::nothrow) INTERNET_PER_CONN_OPTIONA[count]();
}

void InternetSettingsApi::FreeOptions(INTERNET_PER_CONN_OPTIONA* options) {
    delete[] options;
}

bool InternetSettingsApi::SetOption(DWORD option, void* buffer, DWORD length) {
    return InternetSetOptionA(nullptr, option, buffer, length) != FALSE;
}

bool InternetSettingsApi::QueryOption(DWORD option, void* buffer, DWORD* length) {
    return InternetQueryOptionA(nullptr, option, buffer, length) != FALSE;
}

void InternetSettingsApi::FreeQueriedText(char* text) {
    if (text)
        GlobalFree(text);
}

bool InternetSettingsApi::ListPhoneBookEntries(std::vector<std::string>& names) {
    names.clear();
    // The first structure's size names the version; the byte count grows to
    // what the system asks for when the entries do not fit.
    std::vector<EntryName> entries(1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        entries[0].dwSize = sizeof(EntryName);
        DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(EntryName));
        DWORD count = 0;
        DWORD status = RasEnumEntriesA(nullptr, nullptr, entries.data(), &bytes, &count);
        if (status == ERROR_BUFFER_TOO_SMALL) {
            entries.assign(bytes / sizeof(EntryName) + 1, EntryName());
            continue;
        }
        if (status != ERROR_SUCCESS)
            return false;
        for (DWORD i = 0; i < count && i < entries.size(); ++i)
            names.push_back(entries[i].szEntryName);
        return true;
    }
    return false;
}

void InternetSettingsApi::DebugOutput(const char* text) {
    OutputDebugStringA(text);
}

InternetSettingsApi& SystemInternetSettings() {
    static InternetSettingsApi api;
    return api;
}

std::vector<std::string> WinConnectionSystem::PhoneBookEntries() {
    std::vector<std::string> names;
    if (!api_.ListPhoneBookEntries(names))
        names.clear();
    return names;
}

// The user's own default connection comes first; the machine's is the one
// every user has when theirs is not set.
std::string WinConnectionSystem::DefaultEntry() {
    std::string name =
        RegStringValue(DefaultInternetValue, "", false, SettingsRoot::CurrentUser).Get();
    if (name.empty())
        name = RegStringValue(DefaultInternetValue, "", false, SettingsRoot::LocalMachine).Get();
    return name;
}

bool WinConnectionSystem::Query(const ConnectionTarget& target, INTERNET_PER_CONN_OPTIONA& option) {
    INTERNET_PER_CONN_OPTIONA* options = api_.AllocateOptions(1);
    if (!options) {
        outOfMemory_ = true;
        return false;
    }
    options[0].dwOption = option.dwOption;
    OptionList list(target, options, 1);
    DWORD size = sizeof(list.list);
    bool ok = api_.QueryOption(INTERNET_OPTION_PER_CONNECTION_OPTION, &list.list, &size);
    if (ok)
        option = options[0];
    api_.FreeOptions(options);
    return ok;
}

bool WinConnectionSystem::QueryText(const ConnectionTarget& target, DWORD id, std::string& text) {
    INTERNET_PER_CONN_OPTIONA option = {};
    option.dwOption = id;
    text.clear();
    if (!Query(target, option))
        return false;
    if (option.Value.pszValue)
        text = option.Value.pszValue;
    api_.FreeQueriedText(option.Value.pszValue);
    return true;
}

bool WinConnectionSystem::Read(const ConnectionTarget& target, ConnectionOptions& options) {
    // The flags as the user set them: FLAGS_UI where the system has it, since
    // FLAGS may carry what automatic detection found; the older systems
    // answer FLAGS only.
    INTERNET_PER_CONN_OPTIONA flags = {};
    flags.dwOption = INTERNET_PER_CONN_FLAGS_UI;
    if (!Query(target, flags)) {
        if (outOfMemory_)
            return false;
        flags.dwOption = INTERNET_PER_CONN_FLAGS;
        if (!Query(target, flags))
            return false;
    }
    options.flags = flags.Value.dwValue;
    // A system that keeps no bypass list or script address answers none.
    QueryText(target, INTERNET_PER_CONN_PROXY_SERVER, options.proxyServer);
    QueryText(target, INTERNET_PER_CONN_PROXY_BYPASS, options.proxyBypass);
    QueryText(target, INTERNET_PER_CONN_AUTOCONFIG_URL, options.autoConfigUrl);
    return !outOfMemory_;
}

bool WinConnectionSystem::Set(const ConnectionTarget& target, const ConnectionOptions& values,
                              DWORD count) {
    INTERNET_PER_CONN_OPTIONA* options = api_.AllocateOptions(count);
    if (!options) {
        outOfMemory_ = true;
        return false;
    }
    std::vector<char> server = Writable(values.proxyServer);
    std::vector<char> bypass = Writable(values.proxyBypass);
    std::vector<char> script = Writable(values.autoConfigUrl);
    // The connection type is set through FLAGS whatever the system: FLAGS_UI
    // is for reading it.
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[0].Value.dwValue = values.flags;
    options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[1].Value.pszValue = server.data();
    options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    options[2].Value.pszValue = bypass.data();
    if (count > 3) {
        options[3].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
        options[3].Value.pszValue = script.data();
    }
    OptionList list(target, options, count);
    bool ok = api_.SetOption(INTERNET_OPTION_PER_CONNECTION_OPTION, &list.list, sizeof(list.list));
    api_.FreeOptions(options);
    return ok;
}

bool WinConnectionSystem::WriteProxy(const ConnectionTarget& target,
                                     const ConnectionOptions& options) {
    return Set(target, options, 3);
}

bool WinConnectionSystem::Write(const ConnectionTarget& target, const ConnectionOptions& options) {
    return Set(target, options, 4);
}

void WinConnectionSystem::NotifyChanged() {
    api_.SetOption(INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    api_.SetOption(INTERNET_OPTION_REFRESH, nullptr, 0);
}
