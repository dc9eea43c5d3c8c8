// The system's per-connection proxy options through WinINet, and the
// phone-book entries through RAS.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "browsers/connection_switch.h"

// The calls through which the settings reach the system; tests replace them
// to see exactly what is sent.
class InternetSettingsApi {
public:
    virtual ~InternetSettingsApi() = default;
    // An option array of `count` entries, or nullptr when out of memory.
    virtual INTERNET_PER_CONN_OPTIONA* AllocateOptions(DWORD count);
    virtual void FreeOptions(INTERNET_PER_CONN_OPTIONA* options);
    // InternetSetOptionA and InternetQueryOptionA without an Internet handle.
    virtual bool SetOption(DWORD option, void* buffer, DWORD length);
    virtual bool QueryOption(DWORD option, void* buffer, DWORD* length);
    // Frees a text that QueryOption handed out (WinINet allocates it with
    // GlobalAlloc).
    virtual void FreeQueriedText(char* text);
    // RasEnumEntriesA over every phone book of the user; false on failure.
    virtual bool ListPhoneBookEntries(std::vector<std::string>& names);
    virtual void DebugOutput(const char* text);
};

InternetSettingsApi& SystemInternetSettings();

class WinConnectionSystem : public ConnectionSystem {
public:
    explicit WinConnectionSystem(InternetSettingsApi& api = SystemInternetSettings()) : api_(api) {}

    std::vector<std::string> PhoneBookEntries() override;
    std::string DefaultEntry() override;
    bool Read(const ConnectionTarget& target, ConnectionOptions& options) override;
    bool WriteProxy(const ConnectionTarget& target, const ConnectionOptions& options) override;
    bool Write(const ConnectionTarget& target, const ConnectionOptions& options) override;
    void NotifyChanged() override;

    // Whether an option array could not be allocated since this was made.
    bool OutOfMemory() const { return outOfMemory_; }

private:
    bool Query(const ConnectionTarget& target, INTERNET_PER_CONN_OPTIONA& option);
    bool QueryText(const ConnectionTarget& target, DWORD id, std::string& text);
    bool Set(const ConnectionTarget& target, const ConnectionOptions& options, DWORD count);

    InternetSettingsApi& api_;
    bool outOfMemory_ = false;
};
