#include "browsers/connection_switch.h"

namespace {

std::vector<ConnectionTarget> Connections(ConnectionSystem& system) {
    return ConnectionsToConfigure(system.PhoneBookEntries(), system.DefaultEntry());
}

// The connections of the record and those the system lists now, each once:
// an entry saved by an earlier run is put back even when it is listed no more.
std::vector<ConnectionTarget> RecordedAndListed(const std::vector<SavedConnection>& saved,
                                                const std::vector<ConnectionTarget>& listed) {
    std::vector<ConnectionTarget> all;
    for (const SavedConnection& entry : saved)
        all.push_back(entry.target);
    for (const ConnectionTarget& target : listed) {
        if (!FindSaved(saved, target))
            all.push_back(target);
    }
    return all;
}

// A saved entry that the system lists no more (a VPN removed since) cannot
// be put back, and must not keep the record alive for ever.
bool IsListed(const std::vector<ConnectionTarget>& listed, const ConnectionTarget& target) {
    for (const ConnectionTarget& each : listed) {
        if (SameConnection(each, target))
            return true;
    }
    return false;
}

// Whether the connection now holds what was set: the proxy switched on,
// nothing that would take precedence over it, and our server.
bool Took(const ConnectionOptions& read, const ConnectionOptions& set) {
    return (read.flags & proxy_type::Proxy) &&
           !(read.flags & (proxy_type::AutoDetect | proxy_type::AutoProxyUrl)) &&
           read.proxyServer == set.proxyServer;
}

bool PutBack(ConnectionSystem& system, const std::vector<SavedConnection>& saved) {
    bool ok = true;
    for (const SavedConnection& entry : saved)
        ok = system.Write(entry.target, entry.options) && ok;
    system.NotifyChanged();
    return ok;
}

}  // namespace

std::string LoopbackProxyServer(int port) {
    return "127.0.0.1:" + std::to_string(port);
}

ConnectionOptions WindowsDefaultOptions() {
    ConnectionOptions options;
    options.flags = proxy_type::Direct | proxy_type::AutoDetect;
    return options;
}

bool IsPointedAtEngine(const ConnectionOptions& options, const std::vector<int>& ports) {
    return (options.flags & proxy_type::Proxy) && IsEngineServer(options.proxyServer, ports);
}

bool PointConnectionsAt(ConnectionSystem& system, const std::string& proxyServer,
                        const std::string& bypass, SettingsBackend& backend) {
    // The port is remembered before anything points at it, so that a crash
    // from here on never leaves settings that a later run takes for the
    // user's own.
    if (!RememberEnginePort(LoopbackPort(proxyServer), backend))
        return false;
    std::vector<int> ports = UsedEnginePorts(backend);

    // Only the record knows what the user had: while it exists, the
    // connections it holds may point at the engine (on this port or an
    // earlier one), and what they hold now is no longer the user's.
    std::vector<SavedConnection> saved;
    LoadSavedConnections(saved, backend);
    size_t recorded = saved.size();
    std::vector<ConnectionTarget> listed = Connections(system);
    for (const ConnectionTarget& target : listed) {
        ConnectionOptions current;
        if (!system.Read(target, current))
            return false;
        if (FindSaved(saved, target))
            continue;
        if (IsPointedAtEngine(current, ports))
            current = WindowsDefaultOptions();
        saved.push_back(SavedConnection{target, current});
    }
    // The record is in place before the first change, so that a crash from
    // here on still leaves a way back.
    if ((saved.size() != recorded || recorded == 0) && !SaveConnections(saved, backend))
        return false;

    ConnectionOptions wanted;
    wanted.flags = proxy_type::Direct | proxy_type::Proxy;
    wanted.proxyServer = proxyServer;
    wanted.proxyBypass = bypass;
    bool took = true;
    // A connection that refused the change is as it was; only those changed
    // are put back, and, when an earlier run's record was there, those it
    // left pointing at the engine as well.
    std::vector<SavedConnection> changed;
    std::vector<SavedConnection> toPutBack;
    for (const SavedConnection& entry : saved) {
        if (!IsListed(listed, entry.target))
            continue;
        if (took && system.WriteProxy(entry.target, wanted)) {
            changed.push_back(entry);
            toPutBack.push_back(entry);
            continue;
        }
        took = false;
        ConnectionOptions current;
        if (recorded > 0 && system.Read(entry.target, current) && IsPointedAtEngine(current, ports))
            toPutBack.push_back(entry);
    }
    system.NotifyChanged();
    // A policy that keeps the settings machine-wide may let the call succeed
    // and still leave the connection as it was: only a read-back tells.
    for (const SavedConnection& entry : changed) {
        ConnectionOptions read;
        if (!took)
            break;
        took = system.Read(entry.target, read) && Took(read, wanted);
    }
    if (took)
        return true;
    if (PutBack(system, toPutBack))
        ForgetSavedConnections(backend);
    return false;
}

bool RestoreConnections(ConnectionSystem& system, const std::string& proxyServer,
                        SettingsBackend& backend) {
    std::vector<SavedConnection> saved;
    bool hasRecord = LoadSavedConnections(saved, backend);
    std::vector<int> ports = EnginePortsWith(LoopbackPort(proxyServer), backend);
    std::vector<ConnectionTarget> listed = Connections(system);
    bool ok = true;
    bool wrote = false;
    for (const ConnectionTarget& target : RecordedAndListed(saved, listed)) {
        const ConnectionOptions* own = FindSaved(saved, target);
        ConnectionOptions current;
        if (!own) {
            if (!system.Read(target, current)) {
                ok = false;
                continue;
            }
            if (!IsPointedAtEngine(current, ports))
                continue;
        }
        bool written = system.Write(target, own ? *own : WindowsDefaultOptions());
        ok = (written || !IsListed(listed, target)) && ok;
        wrote = true;
    }
    if (wrote)
        system.NotifyChanged();
    if (ok && hasRecord)
        ForgetSavedConnections(backend);
    return ok;
}

bool ResetConnections(ConnectionSystem& system, SettingsBackend& backend) {
    std::vector<SavedConnection> saved;
    LoadSavedConnections(saved, backend);
    std::vector<ConnectionTarget> listed = Connections(system);
    bool ok = true;
    for (const ConnectionTarget& target : RecordedAndListed(saved, listed)) {
        const ConnectionOptions* own = FindSaved(saved, target);
        bool written = system.Write(target, own ? *own : WindowsDefaultOptions());
        ok = (written || !IsListed(listed, target)) && ok;
    }
    system.NotifyChanged();
    // A damaged record, taken as none, is of no use to a later restore.
    if (ok)
        ForgetSavedConnections(backend);
    return ok;
}
