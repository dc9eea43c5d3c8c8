// The native build has no protected store of the user's: passwords are kept
// for the life of the process only.
#include "proxies/proxy_secrets.h"

SecretStore& DefaultProxySecrets() {
    static MemorySecretStore store;
    return store;
}
