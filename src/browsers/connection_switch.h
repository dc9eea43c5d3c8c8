// Pointing every connection at the local proxy and putting back what the
// user had, over a small interface to the system's per-connection options
// (WinINet on Windows, a fake in the tests).
#pragma once

#include <string>
#include <vector>

#include "browsers/connection_record.h"
#include "browsers/engine_ports.h"

class ConnectionSystem {
public:
    virtual ~ConnectionSystem() = default;
    // The names of the user's phone-book entries: dial-up, VPN and mobile
    // broadband connections alike.
    virtual std::vector<std::string> PhoneBookEntries() = 0;
    // The entry that the system dials by default, or "".
    virtual std::string DefaultEntry() = 0;
    // The connection's options as the user would see them; false when they
    // cannot be read.
    virtual bool Read(const ConnectionTarget& target, ConnectionOptions& options) = 0;
    // Sets the flags, server and bypass list (the script address is left as
    // it is); false when the system refuses.
    virtual bool WriteProxy(const ConnectionTarget& target, const ConnectionOptions& options) = 0;
    // Sets all four options.
    virtual bool Write(const ConnectionTarget& target, const ConnectionOptions& options) = 0;
    // Tells running programs that the settings changed.
    virtual void NotifyChanged() = 0;
};

// "127.0.0.1:<port>", the proxy server text that points at the local engine.
std::string LoopbackProxyServer(int port);

// Windows' own default: a direct connection that detects settings itself.
ConnectionOptions WindowsDefaultOptions();

// Whether a connection's proxy is the local engine on one of `ports`: the
// mark of an earlier run (one that did not end in order, or one on another
// port) when it is found before Veilgate set anything.
bool IsPointedAtEngine(const ConnectionOptions& options, const std::vector<int>& ports);

// Saves every connection's options, points each at `proxyServer` with
// `bypass`, and reads each back. A record that is there already stays as it
// is, since it alone knows what the user had: only connections it does not
// hold are added. A connection that points at the engine on any port it has
// used (browsers/engine_ports.h) is never saved as the user's own: without a
// record it counts as Windows' default. False, with every connection put back
// and the record forgotten, when any did not take; false with nothing changed
// when one cannot be read or the record cannot be written.
bool PointConnectionsAt(ConnectionSystem& system, const std::string& proxyServer,
                        const std::string& bypass,
                        SettingsBackend& backend = DefaultSettingsBackend());

// Puts back what the record holds for each connection and then forgets the
// record; a connection without a saved entry that points at the engine
// (`proxyServer` or any port it has used) gets Windows' default, any other is
// left alone. False when a connection
// could not be put back (the record is then kept for another try).
bool RestoreConnections(ConnectionSystem& system, const std::string& proxyServer,
                        SettingsBackend& backend = DefaultSettingsBackend());

// Gatereset's reset: the record put back and forgotten when there is one;
// without one (or with one that cannot be read), Windows' default on every
// connection.
bool ResetConnections(ConnectionSystem& system,
                      SettingsBackend& backend = DefaultSettingsBackend());
