// Proxy passwords in the user's own protected store: each one encrypted with
// CryptProtectData for the current user (only a process of that user on this
// machine can decrypt it) and kept as a binary value of the user's key, named
// by the proxy's address without the password.
#include <windows.h>

#include <dpapi.h>

#include "base/scoped_win.h"
#include "proxies/proxy_secrets.h"

namespace {

constexpr char SecretsKey[] = "Software\\Veilgate\\ProxyPasswords";

class ProtectedSecretStore : public SecretStore {
public:
    bool Keep(const std::string& key, const std::string& secret) override {
        DATA_BLOB plain{static_cast<DWORD>(secret.size()),
                        reinterpret_cast<BYTE*>(const_cast<char*>(secret.data()))};
        DATA_BLOB sealed{0, nullptr};
        // No prompt may ever appear: the store is used from worker threads.
        if (!CryptProtectData(&plain, L"Veilgate proxy password", nullptr, nullptr, nullptr,
                              CRYPTPROTECT_UI_FORBIDDEN, &sealed))
            return false;
        base::ScopedWin<base::LocalMemoryTraits> owned(sealed.pbData);
        base::ScopedRegKey folder;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, SecretsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            folder.Receive(), nullptr) != ERROR_SUCCESS)
            return false;
        return RegSetValueExA(folder.Get(), key.c_str(), 0, REG_BINARY, sealed.pbData,
                              sealed.cbData) == ERROR_SUCCESS;
    }

    bool Find(const std::string& key, std::string& secret) const override {
        base::ScopedRegKey folder;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SecretsKey, 0, KEY_QUERY_VALUE, folder.Receive()) !=
            ERROR_SUCCESS)
            return false;
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(folder.Get(), key.c_str(), nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            type != REG_BINARY || size == 0 || size > 64 * 1024)
            return false;
        std::string bytes(size, '\0');
        if (RegQueryValueExA(folder.Get(), key.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(&bytes[0]), &size) != ERROR_SUCCESS)
            return false;
        DATA_BLOB sealed{size, reinterpret_cast<BYTE*>(&bytes[0])};
        DATA_BLOB plain{0, nullptr};
        if (!CryptUnprotectData(&sealed, nullptr, nullptr, nullptr, nullptr,
                                CRYPTPROTECT_UI_FORBIDDEN, &plain))
            return false;
        base::ScopedWin<base::LocalMemoryTraits> owned(plain.pbData);
        secret.assign(reinterpret_cast<const char*>(plain.pbData), plain.cbData);
        SecureZeroMemory(plain.pbData, plain.cbData);
        return true;
    }

    void Forget(const std::string& key) override {
        base::ScopedRegKey folder;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SecretsKey, 0, KEY_SET_VALUE, folder.Receive()) ==
            ERROR_SUCCESS)
            RegDeleteValueA(folder.Get(), key.c_str());
    }
};

}  // namespace

SecretStore& DefaultProxySecrets() {
    static ProtectedSecretStore store;
    static RememberingSecretStore remembered(store);
    return remembered;
}
