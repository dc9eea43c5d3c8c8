#!/usr/bin/python3
"""A real Firefox, pointed at the engine by the prefs.js edit, and back.

    firefox_e2e_test.py PREFS-EDIT -- ENGINE-COMMAND...

PREFS-EDIT runs the prefs.js edits over a file ("enable PORT FILE",
"disable FILE"); ENGINE-COMMAND runs the engine's command-line front end.
The test starts an HTTP and an HTTPS origin (with a certificate authority of
its own that the throwaway profile trusts), a tinyproxy as the upstream
proxy and the engine in front of it. Headless Firefox loads a page from the
HTTP origin that frames a page of the HTTPS origin, first with the enabled
prefs.js and then with the restored one. Then, as when the change is made
while Firefox runs and it writes prefs.js from memory at its exit, a user.js
is given the same edit over a prefs.js that says otherwise: Firefox goes
through the engine at its next start, and, with the user.js holding the
defaults over a prefs.js that points at the engine, directly again.

tinyproxy makes its outgoing connections from 127.0.0.3, so the origins can
tell a request that came through the proxies from one that Firefox made
itself from 127.0.0.1. Everything listens on loopback; every process is
started with a time limit and stopped by its id.
"""

import http.server
import os
import ssl
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_support import (check, kill_group, run_in_temporary_folder, serve,  # noqa: E402
                         start_engine, start_tinyproxy, stop)

PREFS_EDIT = ""
ENGINE = []
THROUGH_PROXY = "127.0.0.3"
DIRECT = "127.0.0.1"
# Firefox start-up on a busy machine can be slow; a page load is bounded by this.
FIREFOX_SECONDS = 240

# The user's own preferences before anything is enabled: loopback origins are
# proxied like any other, and the browser's own background traffic is off so
# that only the test's pages travel.
USER_PREFS = dict.fromkeys((
    "app.update.enabled app.update.auto browser.shell.checkDefaultBrowser "
    "browser.aboutwelcome.enabled browser.safebrowsing.malware.enabled "
    "browser.safebrowsing.phishing.enabled browser.safebrowsing.downloads.enabled "
    "browser.newtabpage.enabled browser.discovery.enabled "
    "datareporting.policy.dataSubmissionEnabled datareporting.healthreport.uploadEnabled "
    "toolkit.telemetry.enabled extensions.update.enabled extensions.getAddons.cache.enabled "
    "network.captive-portal-service.enabled network.connectivity-service.enabled "
    "network.prefetch-next dom.security.https_first").split(), "false")
USER_PREFS.update({
    "network.proxy.allow_hijacking_localhost": "true",
    "browser.startup.homepage_override.mstone": "\"ignore\"",
    "network.dns.disablePrefetch": "true",
    "network.http.speculative-parallel-limit": "0",
    "network.trr.mode": "5",
    "services.settings.server": "\"http://127.0.0.1:1/\"",
    "security.OCSP.enabled": "0",
})


def edit(routine, *arguments):
    """Runs one prefs edit ("enable PORT FILE", "disable FILE", "hold FILE")."""
    result = subprocess.run([PREFS_EDIT, routine, *arguments], capture_output=True, timeout=60)
    name = "restore" if routine == "disable" else routine
    check(result.returncode == 0,
          "the %s routine edits %s" % (name, os.path.basename(arguments[-1])), result.stderr)


class Page(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        self.server.visits.append((self.client_address[0], self.path))
        if self.path == "/page.html":
            body = ("<html><body><p>plain</p><iframe src=\"%s/secure.html\"></iframe>"
                    "</body></html>" % self.server.secure_base).encode()
        elif self.path == "/secure.html":
            body = b"<html><body><p>secure</p></body></html>"
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        # The second visit must travel again, not come from the cache.
        self.send_header("Cache-Control", "no-store")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class RecordingOrigin(http.server.ThreadingHTTPServer):
    """Records the address of every connection, before any TLS handshake, and
    of every request."""

    def __init__(self, context=None):
        super().__init__(("127.0.0.1", 0), Page)
        self.context = context
        self.connections = []
        self.visits = []
        self.secure_base = ""

    def get_request(self):
        connection, address = self.socket.accept()
        self.connections.append(address[0])
        return connection, address

    def finish_request(self, request, client_address):
        if self.context is None:
            super().finish_request(request, client_address)
            return
        request.settimeout(60)
        try:
            secure = self.context.wrap_socket(request, server_side=True)
        except OSError:
            return
        try:
            super().finish_request(secure, client_address)
        finally:
            secure.close()

    def forget(self):
        self.connections.clear()
        self.visits.clear()


def make_certificates(workdir):
    """A certificate authority and a server certificate for 127.0.0.1 that
    it signed; Firefox refuses a self-signed server certificate used alone."""
    paths = {name: os.path.join(workdir, name + ".pem")
             for name in ("ca", "ca-key", "server", "server-key", "server-request")}
    extensions = os.path.join(workdir, "server.ext")
    with open(extensions, "w") as f:
        f.write("basicConstraints=critical,CA:FALSE\nsubjectAltName=IP:127.0.0.1\n"
                "extendedKeyUsage=serverAuth\n")
    commands = [
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
         "-subj", "/CN=Veilgate test authority", "-addext",
         "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign",
         "-keyout", paths["ca-key"], "-out", paths["ca"]],
        ["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
         "-keyout", paths["server-key"], "-out", paths["server-request"]],
        ["openssl", "x509", "-req", "-in", paths["server-request"], "-CA", paths["ca"],
         "-CAkey", paths["ca-key"], "-CAcreateserial", "-days", "2",
         "-extfile", extensions, "-out", paths["server"]],
    ]
    for command in commands:
        subprocess.run(command, check=True, capture_output=True, timeout=60)
    return paths


def make_profile(workdir, ca_path):
    profile = os.path.join(workdir, "profile")
    os.mkdir(profile)
    database = "sql:" + profile
    for command in (["certutil", "-N", "-d", database, "--empty-password"],
                    ["certutil", "-A", "-d", database, "-n", "Veilgate test authority",
                     "-t", "C,,", "-i", ca_path]):
        subprocess.run(command, check=True, capture_output=True, timeout=60)
    prefs = os.path.join(profile, "prefs.js")
    with open(prefs, "w") as f:
        f.write("// Mozilla User Preferences\n\n")
        for name, value in USER_PREFS.items():
            f.write("user_pref(\"%s\", %s);\n" % (name, value))
    return profile, prefs


def load_in_firefox(workdir, profile, url):
    """Runs headless Firefox on the profile until it has loaded `url` and
    taken its screenshot; true when it did so in time."""
    shot = os.path.join(workdir, "shot.png")
    if os.path.exists(shot):
        os.remove(shot)
    environment = dict(os.environ, HOME=workdir, MOZ_CRASHREPORTER_DISABLE="1",
                       MOZ_HEADLESS="1")
    command = ["firefox-esr", "--headless", "--no-remote", "-profile", profile,
               "--screenshot", shot, url]
    # Its own process group, so that its content processes go with it.
    with open(os.path.join(workdir, "firefox.log"), "ab") as log:
        process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, env=environment,
                                   start_new_session=True)
        try:
            process.wait(timeout=FIREFOX_SECONDS)
        except subprocess.TimeoutExpired:
            pass
        finally:
            kill_group(process)
    return os.path.exists(shot)


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def visited(origin, address, path):
    return (address, path) in origin.visits


def load_page(workdir, profile, url, origins, what):
    """Loads `url` in Firefox with the origins' records of earlier loads forgotten."""
    for origin in origins:
        origin.forget()
    started = time.monotonic()
    loaded = load_in_firefox(workdir, profile, url)
    print("      Firefox took %.1f s with %s" % (time.monotonic() - started, what), flush=True)
    check(loaded, "Firefox loads the page with " + what)


def run(workdir):
    certificates = make_certificates(workdir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificates["server"], certificates["server-key"])
    plain = serve(RecordingOrigin())
    secure = serve(RecordingOrigin(context))
    secure_port = secure.server_address[1]
    plain.secure_base = "https://127.0.0.1:%d" % secure_port
    page_url = "http://127.0.0.1:%d/page.html" % plain.server_address[1]
    tinyproxy, tinyproxy_port, tinyproxy_log = start_tinyproxy(
        workdir, ["Bind " + THROUGH_PROXY, "LogLevel Info", "ConnectPort %d" % secure_port],
        max_clients=50, seconds=900)
    engine, engine_port = start_engine(ENGINE, workdir, tinyproxy_port, ["--max-seconds", "900"])
    profile, prefs = make_profile(workdir, certificates["ca"])

    origins = (plain, secure)

    def both_pages_from(address):
        return (visited(plain, address, "/page.html") and
                visited(secure, address, "/secure.html"))

    edit("enable", str(engine_port), prefs)
    load_page(workdir, profile, page_url, origins, "the enabled prefs.js")
    log = read(tinyproxy_log)
    check("GET %s" % page_url in log, "tinyproxy's log shows the GET of the HTTP page", log[-800:])
    check("CONNECT 127.0.0.1:%d" % secure_port in log,
          "tinyproxy's log shows the CONNECT for the HTTPS page", log[-800:])
    check(both_pages_from(THROUGH_PROXY), "the HTTP page came through tinyproxy, the HTTPS one "
          "through the tunnel", (plain.visits, secure.connections, secure.visits))
    check(DIRECT not in plain.connections and DIRECT not in secure.connections,
          "nothing reached an origin directly", (plain.connections, secure.connections))
    # What Firefox wrote back at its exit: it kept the entries it was given.
    written = read(prefs)
    for entry in ("\"network.proxy.ssl_port\", %d);" % engine_port,
                  "\"media.peerconnection.ice.proxy_only\", true);"):
        check(entry in written, "Firefox kept " + entry, written[-800:])

    edit("disable", prefs)
    restored = read(prefs)
    check("network.proxy.type" not in restored and "proxy_only" not in restored,
          "the restore removed the type and WebRTC entries", restored[-800:])

    log_before = len(log)
    load_page(workdir, profile, page_url, origins, "the restored prefs.js")
    check(both_pages_from(DIRECT), "after the restore both pages come directly",
          (plain.visits, secure.visits))
    later = read(tinyproxy_log)[log_before:]
    check("127.0.0.1:%d" % plain.server_address[1] not in later
          and "127.0.0.1:%d" % secure_port not in later,
          "after the restore tinyproxy sees neither page", later[-800:])

    # The user.js edit, over a prefs.js that Firefox wrote while direct.
    user_js = os.path.join(profile, "user.js")
    open(user_js, "w").close()
    edit("enable", str(engine_port), user_js)
    print("      user.js while on:\n" + read(user_js), flush=True)
    load_page(workdir, profile, page_url, origins, "user.js on")
    check(both_pages_from(THROUGH_PROXY) and DIRECT not in plain.connections,
          "user.js alone sends both pages through the proxies", (plain.visits, secure.visits))
    # Firefox does not rewrite prefs.js at every exit: a few more runs on
    # the profile give it the chance the hold below is meant for.
    written = read(prefs)
    for _ in range(3):
        if "\"network.proxy.type\", 1);" in written:
            break
        load_in_firefox(workdir, profile, page_url)
        written = read(prefs)
    check("\"network.proxy.type\", 1);" in written,
          "Firefox wrote the user.js entries into prefs.js at an exit", written[-800:])

    edit("hold", user_js)
    print("      user.js held after the restore:\n" + read(user_js), flush=True)
    load_page(workdir, profile, page_url, origins, "user.js held")
    check(both_pages_from(DIRECT),
          "the held user.js wins over the prefs.js that points at the engine",
          (plain.visits, secure.visits))

    stop(engine)
    stop(tinyproxy)
    plain.shutdown()
    secure.shutdown()


def check_engine_log(workdir):
    # A sanitizer build of the engine reports on its output.
    engine_log = os.path.join(workdir, "engine.log")
    if os.path.exists(engine_log):
        check("Sanitizer" not in read(engine_log), "no sanitizer report from the engine")


def main():
    global PREFS_EDIT, ENGINE
    if len(sys.argv) < 4 or sys.argv[2] != "--":
        print(__doc__)
        return 2
    PREFS_EDIT = sys.argv[1]
    ENGINE = sys.argv[3:]
    return run_in_temporary_folder(run, check_engine_log)


if __name__ == "__main__":
    sys.exit(main())
