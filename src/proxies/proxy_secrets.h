// Where proxy passwords are kept: never in "MyProxies.txt", ProxyName or any
// other stored text, which hold a proxy's address with its user name but
// without its password ("socks5://ann@1.2.3.4:1080"). The password is kept
// under that address, in the user's own protected store on Windows
// (proxy_secrets_win.cpp), and found again when the proxy is used or tested.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/proxy_address.h"

class SecretStore {
public:
    virtual ~SecretStore() = default;
    virtual bool Keep(const std::string& key, const std::string& secret) = 0;
    // False when nothing is kept under the key (or it cannot be read back).
    virtual bool Find(const std::string& key, std::string& secret) const = 0;
    virtual void Forget(const std::string& key) = 0;
};

// Kept for the life of the process only: the store of the native build and
// of tests.
class MemorySecretStore : public SecretStore {
public:
    bool Keep(const std::string& key, const std::string& secret) override;
    bool Find(const std::string& key, std::string& secret) const override;
    void Forget(const std::string& key) override;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> secrets_;
};

// A store in front of a slow one (a decryption and a registry read on
// Windows): what it found, and that nothing is kept under a key, is
// remembered for the life of the process, so that a worker can look the
// passwords up ahead (WarmPasswordsOf) and the window's thread then only
// reads memory. Keep and Forget go through to the store behind.
class RememberingSecretStore : public SecretStore {
public:
    explicit RememberingSecretStore(SecretStore& behind) : behind_(behind) {}
    bool Keep(const std::string& key, const std::string& secret) override;
    bool Find(const std::string& key, std::string& secret) const override;
    void Forget(const std::string& key) override;

private:
    SecretStore& behind_;
    mutable std::mutex mutex_;
    // The secret, or nothing when none is kept under the key.
    mutable std::map<std::string, std::optional<std::string>> known_;
};

// The process's store: the user's protected store on Windows (remembered),
// memory elsewhere. Any thread may use it.
SecretStore& ProxySecrets();
// Makes `store` the process's store (nullptr: the default again), for tests.
void UseProxySecrets(SecretStore* store);

// The key a proxy's password is kept under: its address with the user name.
std::string SecretKeyOf(const net::ProxyAddress& proxy);

// Takes the password out of a proxy text a user typed and keeps it: the text
// returned is the same text without the password (and its ":"). A text
// without a password comes back as it is. False (and the text unchanged)
// when the password could not be kept: it must then not be stored either.
bool KeepProxyPassword(const std::string& proxyText, std::string& withoutPassword);

// The proxy a stored text names, with the password kept for it (if any).
net::ProxyAddress ProxyWithPassword(const std::string& proxyText);
// `proxy` with the password kept for it when it names a user but carries no
// password: what a connection to it needs.
net::ProxyAddress WithKeptPassword(net::ProxyAddress proxy);
// Keeps the password that `proxy` carries, as a proxy that arrives with one
// (a list's "host:port:user:password") must be found again after a restart.
// True when there is none to keep.
bool KeepPasswordOf(const net::ProxyAddress& proxy);
// Forgets the password kept for `proxy`: its row has left the list.
void ForgetPasswordOf(const net::ProxyAddress& proxy);
// Looks up the password of each proxy that names a user, for a worker to
// call ahead of the window's thread, which then finds them remembered.
void WarmPasswordsOf(const std::vector<net::ProxyAddress>& proxies);
