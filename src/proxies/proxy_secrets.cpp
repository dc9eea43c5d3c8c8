#include "proxies/proxy_secrets.h"

#include <atomic>

namespace {

std::atomic<SecretStore*> chosenStore{nullptr};

}  // namespace

// The default store of each build, from its system's half:
// proxy_secrets_win.cpp or proxy_secrets_posix.cpp.
SecretStore& DefaultProxySecrets();

bool MemorySecretStore::Keep(const std::string& key, const std::string& secret) {
    std::lock_guard<std::mutex> lock(mutex_);
    secrets_[key] = secret;
    return true;
}

bool MemorySecretStore::Find(const std::string& key, std::string& secret) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = secrets_.find(key);
    if (found == secrets_.end())
        return false;
    secret = found->second;
    return true;
}

void MemorySecretStore::Forget(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    secrets_.erase(key);
}

// The store behind is asked without the lock, here as in Find: no thread
// waits behind another's encryption or registry write.
bool RememberingSecretStore::Keep(const std::string& key, const std::string& secret) {
    bool kept = behind_.Keep(key, secret);
    std::lock_guard<std::mutex> lock(mutex_);
    if (kept)
        known_[key] = secret;
    else
        known_.erase(key);
    return kept;
}

bool RememberingSecretStore::Find(const std::string& key, std::string& secret) const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = known_.find(key);
        if (found != known_.end()) {
            if (found->second)
                secret = *found->second;
            return found->second.has_value();
        }
    }
    // Looked up without the lock: the window's thread must not wait behind
    // a worker's decryption. A Keep or Forget meanwhile wins.
    std::string looked;
    bool kept = behind_.Find(key, looked);
    std::lock_guard<std::mutex> lock(mutex_);
    auto remembered = known_.emplace(key, kept ? std::optional<std::string>(looked) : std::nullopt);
    if (remembered.first->second)
        secret = *remembered.first->second;
    return remembered.first->second.has_value();
}

void RememberingSecretStore::Forget(const std::string& key) {
    behind_.Forget(key);
    std::lock_guard<std::mutex> lock(mutex_);
    known_[key] = std::nullopt;
}

SecretStore& ProxySecrets() {
    SecretStore* store = chosenStore;
    return store ? *store : DefaultProxySecrets();
}

void UseProxySecrets(SecretStore* store) {
    chosenStore = store;
}

std::string SecretKeyOf(const net::ProxyAddress& proxy) {
    return net::FormatProxyAddress(proxy, net::Secrets::UserName);
}

bool KeepProxyPassword(const std::string& proxyText, std::string& withoutPassword) {
    withoutPassword = proxyText;
    net::ProxyAddress proxy = net::ParseProxyAddress(proxyText);
    if (proxy.password.empty())
        return true;
    if (!KeepPasswordOf(proxy))
        return false;
    size_t arrow = proxyText.find("->");
    withoutPassword =
        SecretKeyOf(proxy) + (arrow == std::string::npos ? std::string() : proxyText.substr(arrow));
    return true;
}

net::ProxyAddress ProxyWithPassword(const std::string& proxyText) {
    return WithKeptPassword(net::ParseProxyAddress(proxyText));
}

net::ProxyAddress WithKeptPassword(net::ProxyAddress proxy) {
    if (!proxy.userName.empty() && proxy.password.empty())
        ProxySecrets().Find(SecretKeyOf(proxy), proxy.password);
    return proxy;
}

bool KeepPasswordOf(const net::ProxyAddress& proxy) {
    if (proxy.userName.empty() || proxy.password.empty())
        return true;
    return ProxySecrets().Keep(SecretKeyOf(proxy), proxy.password);
}

void ForgetPasswordOf(const net::ProxyAddress& proxy) {
    if (!proxy.userName.empty())
        ProxySecrets().Forget(SecretKeyOf(proxy));
}

void WarmPasswordsOf(const std::vector<net::ProxyAddress>& proxies) {
    for (const net::ProxyAddress& proxy : proxies) {
        if (!proxy.userName.empty())
            WithKeptPassword(proxy);
    }
}
