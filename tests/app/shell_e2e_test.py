#!/usr/bin/python3
"""The real Veilgate.exe end to end under Wine, on a private Xvfb display.

    shell_e2e_test.py WINE-RUN PREFIX VEILGATE WINDOW-DRIVER LIST-SERVICE GATERESET

The test starts a tinyproxy as the remote proxy (two more, and ports that
are no proxy, for the proxy tests), an origin server of its own, the
stand-in list service and Veilgate.exe in a Wine prefix of its own
(Wine's X11 driver on Xvfb, since the tray needs a display), and drives the
window from outside with window_driver.exe. Pages the program opens go to a
recorder registered in the prefix, never to a browser. Every process is
started with a time limit and stopped by its pid. Veilgate.exe runs from a
folder of the test's with Gatereset.exe beside it, which it starts to watch
itself.
"""

import http.server
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_support import (check, finish, free_port, listening, serve, start,  # noqa: E402
                         start_microsocks, stop, stop_all, wait_for_port, wait_until)

ORIGIN_BODY = b"origin says hello"
USER_KEY = "HKCU\\Software\\Veilgate"
MACHINE_KEY = "HKLM\\Software\\Veilgate"


class Origin(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Length", str(len(ORIGIN_BODY)))
        self.end_headers()
        self.wfile.write(ORIGIN_BODY)

    def log_message(self, *args):
        pass


class Judge(http.server.BaseHTTPRequestHandler):
    """A test page of the test's own, which it can take down mid-run: the
    caller's address in the marked element, then every header it was sent."""
    def do_GET(self):
        body = (f'<p><b id="address">{self.client_address[0]}</b></p><pre>{self.headers}'
                '</pre>').encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Shell:
    """The prefix, the peers and the program."""

    def __init__(self, wine_run, prefix, veilgate, driver, list_service, gatereset):
        self.wine_run = wine_run
        self.prefix = prefix
        self.driver = driver
        self.list_service = list_service
        self.work = tempfile.mkdtemp(prefix="vg-shell-")
        programs = os.path.join(self.work, "programs")
        os.makedirs(programs)
        self.veilgate = shutil.copy(veilgate, programs)
        shutil.copy(gatereset, programs)
        self.data = os.path.join(self.work, "data")
        os.makedirs(self.data)
        self.program = None
        self.tinyproxies = {}

    # --- Wine ---------------------------------------------------------
    def wine(self, *args, limit=60, stream=False):
        env = dict(os.environ)
        if stream:
            env["WINE_RUN_STREAM"] = "1"
        result = subprocess.run([self.wine_run, self.prefix, *args], capture_output=True,
                                text=True, timeout=limit, env=env, stdin=subprocess.DEVNULL)
        return result

    def reg_add(self, name, kind, value, key=USER_KEY):
        self.wine("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f")

    def reg_query(self, name, key=USER_KEY):
        out = self.wine("reg", "query", key, "/v", name).stdout
        for line in out.splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[0].lower() == name.lower():
                value = parts[2].strip()
                return str(int(value, 16)) if value.startswith("0x") else value
        return None

    def windows_path(self, path):
        return "Z:" + path.replace("/", "\\")

    def drive(self, *args, limit=30):
        result = self.wine(self.driver, *args, limit=limit)
        values = {}
        for line in result.stdout.splitlines():
            if "=" in line:
                key, value = line.split("=", 1)
                values[key] = value
        values["ok"] = result.returncode == 0
        return values

    def state(self):
        return self.drive("state")

    def message(self, limit=30):
        found = wait_until(lambda: (lambda m: m if m["ok"] else None)(self.drive("message")),
                           limit, step=0.3)
        return found or {}

    # --- Peers --------------------------------------------------------
    def start_peers(self):
        self.origin_port = free_port()
        serve(http.server.ThreadingHTTPServer(("127.0.0.1", self.origin_port), Origin))

        # Its outgoing connections come from 127.0.0.2, so the judge (the list
        # service) sees another address through it than directly: its Via
        # header makes it anonymous, not transparent.
        self.upstream_port = self.start_tinyproxy("tinyproxy", ["Bind 127.0.0.2"])
        self.dead_port = free_port()
        proxies = os.path.join(self.work, "proxies.txt")
        with open(proxies, "w") as f:
            f.write(f"127.0.0.1:{self.upstream_port}->Local <supports POST>\n"
                    f"127.0.0.1:{self.dead_port}->Nothing\n")
        port_file = os.path.join(self.work, "list.port")
        env = dict(os.environ, WINE_RUN_STREAM="1")
        # Two more lists for the sources step, written by it.
        self.source_lists = {name: os.path.join(self.work, name)
                             for name in ("find-plain.txt", "find-schemes.txt")}
        lists = []
        for name, path in self.source_lists.items():
            open(path, "w").close()
            lists += ["--list", f"{name}={self.windows_path(path)}"]
        start([self.wine_run, self.prefix, self.list_service, "--proxies",
               self.windows_path(proxies), "--port", "0", "--port-file",
               self.windows_path(port_file)] + lists, group=True, env=env)
        ready = wait_until(lambda: os.path.exists(port_file) and open(port_file).read().strip(),
                           60)
        self.list_port = int(open(port_file).read()) if ready else 0
        return wait_for_port(self.upstream_port, 10)

    def start_tinyproxy(self, name, lines):
        port = free_port()
        conf = os.path.join(self.work, name + ".conf")
        with open(conf, "w") as f:
            f.write("\n".join([f"Port {port}", "Listen 127.0.0.1", "Allow 127.0.0.1",
                               "Timeout 60", "LogLevel Warning"] + lines) + "\n")
        self.tinyproxies[port] = start(["tinyproxy", "-d", "-c", conf], group=True)
        wait_for_port(port, 10)
        return port

    def write_tested_proxies(self, lines):
        """MyProxies.txt in the user's own data folder."""
        folder = os.path.join(self.unix_folder("LOCALAPPDATA"), "Veilgate")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "MyProxies.txt"), "w", newline="") as f:
            f.write("".join(line + "\r\n" for line in lines))

    def rows(self, action="rows"):
        """The cells of the list of tested proxies (or of the evaluation
        dialog's task list), a list of lists."""
        found = self.drive(action)
        count = int(found.get("rows", "0")) if found["ok"] else 0
        return [found.get(f"row{i}", "").split("|") for i in range(count)]

    def unix_folder(self, variable):
        folder = self.wine("cmd", "/c", "echo", f"%{variable}%").stdout.strip()
        return self.wine("winepath", "-u", folder).stdout.strip()

    def machine_key_export(self):
        path = os.path.join(self.work, "machine.reg")
        if os.path.exists(path):
            os.remove(path)
        self.wine("reg", "export", MACHINE_KEY, self.windows_path(path), "/y")
        with open(path, "rb") as f:
            return f.read()

    def seed_settings(self, use_proxy=1):
        """The settings as an earlier version left them: the machine's key
        only, and the list of tested proxies in the common data folder."""
        self.engine_port = free_port()
        self.proxy_name = f"127.0.0.1:{self.upstream_port}->Local <supports POST>"
        self.wine("reg", "delete", USER_KEY, "/f")
        # A direct connection to start from, whatever an earlier run that was
        # stopped half-way left (Wine keeps the LAN's switch and server here).
        internet = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
        self.reg_add("ProxyEnable", "REG_DWORD", 0, key=internet)
        self.wine("reg", "delete", internet, "/v", "ProxyServer", "/f")
        for name, kind, value in (
                ("ServerHost", "REG_SZ", f"127.0.0.1:{self.list_port}"),
                ("UseProxy", "REG_DWORD", use_proxy), ("ProxyName", "REG_SZ", self.proxy_name),
                ("LocalPort", "REG_DWORD", self.engine_port),
                ("AppPath", "REG_SZ", self.windows_path(self.data) + "\\"),
                ("PopUpsBlockedToday", "REG_DWORD", 5), ("AutoEnabled", "REG_DWORD", 0),
                ("AutoTimer", "REG_DWORD", 10), ("Mozilla", "REG_DWORD", 1),
                ("LastDomain", "REG_SZ", "planted.example")):
            self.reg_add(name, kind, value, key=MACHINE_KEY)
        common = os.path.join(self.unix_folder("ProgramData"), "Veilgate")
        os.makedirs(common, exist_ok=True)
        with open(os.path.join(common, "MyProxies.txt"), "w", newline="") as f:
            f.write(f"127.0.0.1:{self.upstream_port}->Local\r\n"
                    f"127.0.0.1:{self.dead_port}->Nothing\r\n")
        # This user's own lists; the help page stays in AppPath.
        self.data_files = os.path.join(self.unix_folder("LOCALAPPDATA"), "Veilgate")
        shutil.rmtree(self.data_files, ignore_errors=True)
        self.machine_before = self.machine_key_export()
        self.prefs = os.path.join(self.unix_folder("APPDATA"), "Mozilla", "Firefox", "Profiles",
                                  "test.default", "prefs.js")
        os.makedirs(os.path.dirname(self.prefs), exist_ok=True)
        with open(self.prefs, "w") as f:
            f.write('user_pref("browser.startup.homepage", "about:blank");\n')
        # Pages and files open in a recorder, never in a browser.
        self.opened = os.path.join(self.work, "opened.txt")
        command = (f'"{self.windows_path(self.driver)}" record '
                   f'"{self.windows_path(self.opened)}" "%1"')
        for key in ("HKCR\\http\\shell\\open\\command",
                    "HKCR\\htmlfile\\shell\\open\\command"):
            self.wine("reg", "add", key, "/ve", "/d", command, "/f")
        self.wine("reg", "add", "HKCR\\.htm", "/ve", "/d", "htmlfile", "/f")
        with open(os.path.join(self.data, "help.htm"), "w") as f:
            f.write("<html><body>help</body></html>")

    def opened_pages(self):
        if not os.path.exists(self.opened):
            return ""
        with open(self.opened) as f:
            return f.read()

    # --- The program ----------------------------------------------------
    def start_program(self):
        env = dict(os.environ, WINE_RUN_STREAM="1")
        began = time.monotonic()
        self.program = start([self.wine_run, self.prefix, self.veilgate], group=True, env=env)
        return began

    def wait_program_end(self, limit):
        try:
            self.program.wait(limit)
            return True
        except subprocess.TimeoutExpired:
            return False

    def curl(self):
        result = subprocess.run(["curl", "-s", "-m", "20", "-x",
                                 f"http://127.0.0.1:{self.engine_port}",
                                 f"http://127.0.0.1:{self.origin_port}/"],
                                capture_output=True, timeout=30)
        return result.stdout

    def browser_proxy(self):
        return self.drive("browser-proxy")

    def prefs_text(self):
        with open(self.prefs) as f:
            return f.read()


def run(shell):
    local = f"127.0.0.1:{shell.engine_port}"
    # The stand-in proxy connects out from 127.0.0.2: that is the address the
    # web sees, and the proxy follows it.
    on_status = ("Your visible IP Address is now : 127.0.0.2 via "
                 f"127.0.0.1:{shell.upstream_port} Local <supports POST>")

    # The first start of this version copies the earlier version's machine
    # settings, but not what was one run's state: it starts off.
    shell.start_program()
    check(wait_until(lambda: shell.state().get("visible") == "1", 90, step=0.3),
          "the first start's window comes up")
    check(shell.reg_query("ServerHost") == f"127.0.0.1:{shell.list_port}",
          "the machine's settings are the user's now")
    check(all(shell.reg_query(name) is None for name in ("UseProxy", "ProxyName", "LastDomain")),
          "but not the machine's UseProxy, ProxyName and LastDomain")
    check(shell.state().get("enable") == "0", "so the first start is off", shell.state())
    shell.drive("command", "32772")
    check(shell.wait_program_end(30), "EXIT ends it")
    shell.reg_add("UseProxy", "REG_DWORD", 1)
    shell.reg_add("ProxyName", "REG_SZ", shell.proxy_name)

    # Start-up with UseProxy 1.
    shell.start_program()
    up = wait_until(lambda: shell.state().get("visible") == "1", 90, step=0.3)
    check(up, "the main window comes up")
    check(wait_until(lambda: listening(shell.engine_port), 10), "the engine listens")
    # On the screen while its start-up still switches the browsers and
    # fetches the list, so the full state is waited for.
    state = wait_until(lambda: (lambda s: s if s.get("items") == "3" else None)(shell.state()),
                       30) or shell.state()
    check(state.get("enable") == "1", "Enable Veilgate is ticked", state)
    check(state.get("items") == "3", "the selector holds ProxyName and the two offered", state)
    check(state.get("edit") == shell.proxy_name, "the edit field holds ProxyName", state)
    check(wait_until(lambda: shell.state().get("status") == on_status + " [Anonymous]", 30),
          "the status line names the proxy and, once tested, its level", shell.state())
    check(state.get("rows") == "2", "the list holds MyProxies.txt", state)
    check(shell.reg_query("ServerHost") == f"127.0.0.1:{shell.list_port}",
          "the machine's settings are the user's now")
    check(shell.reg_query("AppPath") is None, "but for AppPath, the installation's")
    check(os.path.exists(os.path.join(shell.data_files, "MyProxies.txt")),
          "and the user has a copy of the earlier list")
    check(state.get("readmore") == "read more", "the read-more link", state)
    copy = os.path.join(shell.data_files, "proxylist.txt")
    check(os.path.exists(copy) and "<br />" in open(copy).read(), "proxylist.txt is written")
    check(shell.curl() == ORIGIN_BODY, "curl reaches the origin through the engine")
    proxy = shell.browser_proxy()
    check(proxy.get("proxy_flag") == "1" and local in proxy.get("proxy_server", ""),
          "the system settings point at the engine", proxy)
    check(f'"network.proxy.http_port", {shell.engine_port}' in shell.prefs_text(),
          "prefs.js points at the engine", shell.prefs_text())

    # Pages and files, through the shell.
    shell.drive("click", "1006")
    check(wait_until(lambda: "/services/whatismyip/whatismyip.asp" in shell.opened_pages(), 20),
          "What Is My IP? opens the maker's page", shell.opened_pages())
    check(f"127.0.0.1:{shell.list_port}" in shell.opened_pages(),
          "on the configured host", shell.opened_pages())
    shell.drive("help")
    check(wait_until(lambda: "help.htm" in shell.opened_pages(), 20),
          "F1 opens help.htm from AppPath", shell.opened_pages())
    before = shell.opened_pages().count("help.htm")
    shell.drive("toolbar", "107")
    check(wait_until(lambda: shell.opened_pages().count("help.htm") > before, 20),
          "so does the help button", shell.opened_pages())

    # The box off and on again.
    shell.drive("click", "1000")
    # The listener keeps its port for the life of the program (open tunnels
    # would keep it from being bound again) and closes what comes.
    check(wait_until(lambda: shell.curl() == b"", 10), "box off: the engine serves no more")
    state = shell.state()
    check(state.get("enable") == "0" and state.get("status", "").endswith("[Local]"),
          "box off: the status line says [Local]", state)
    check(shell.browser_proxy().get("proxy_flag") == "0", "box off: the browsers go direct",
          shell.browser_proxy())
    check(shell.reg_query("UseProxy") == "0", "box off: UseProxy 0")
    shell.drive("click", "1000")
    check(wait_until(lambda: listening(shell.engine_port), 10), "box on: the engine listens")
    check(shell.curl() == ORIGIN_BODY, "box on: curl reaches the origin")

    # Advanced Settings: run at start-up on, then off again, stored for this
    # user (left on, Wine's next session start would run a second copy).
    for value in ("1", "0"):
        shell.drive("toolbar", "102")
        check(wait_until(lambda: shell.drive("dialog-click", "Advanced Settings Dialog",
                                             "1033")["ok"], 20), "Advanced Settings opens")
        shell.drive("dialog-click", "Advanced Settings Dialog", "1036")
        wait_until(lambda: not shell.drive("dialog-shown", "Advanced Settings Dialog")["ok"], 10)
        check(wait_until(lambda: shell.reg_query("RunAtStartup") == value, 10),
              "Advanced Settings stores RunAtStartup " + value + " for the user")

    # Refresh List.
    shell.drive("click", "1005")
    shown = shell.message()
    check(shown.get("text") == "Proxy list updated!" and shown.get("caption") == "Veilgate",
          "Refresh List says the list was updated", shown)
    state = wait_until(lambda: (lambda s: s if s.get("items") == "2" else None)(shell.state()), 10)
    state = state or shell.state()
    check(state.get("items") == "2", "Refresh List fills the selector from the reply", state)
    check(state.get("edit") == shell.proxy_name and state.get("enable") == "1",
          "Refresh List keeps the edit text and the activation", state)
    check(shell.curl() == ORIGIN_BODY, "after Refresh List curl still works")

    # A rotation tick: only rows a test in this run proved are turned to, so
    # the untested dead row is never tried and the active proxy stays.
    shell.drive("timer")
    time.sleep(2)
    check(not shell.drive("message")["ok"] and shell.state().get("rows") == "2",
          "a tick passes over the untested row", shell.state())
    check(shell.reg_query("ProxyName") == shell.proxy_name, "and keeps the active proxy")
    check(shell.curl() == ORIGIN_BODY, "after the tick curl still works")

    # Minimise to the tray and back; a second copy brings the first forward.
    shell.drive("syscommand", "min")
    check(wait_until(lambda: shell.state().get("visible") == "0", 30), "minimise hides the window",
          shell.state())
    time.sleep(1)
    check(shell.state().get("iconic") == "0", "and does not leave it minimised", shell.state())
    shell.drive("tray-double-click")
    check(wait_until(lambda: shell.state().get("visible") == "1", 10),
          "a double click on the tray icon shows it again")
    shell.drive("tray-double-click")
    time.sleep(1)
    check(shell.state().get("visible") == "1", "a second double click changes nothing")
    shell.drive("click", "1")
    check(wait_until(lambda: shell.state().get("visible") == "0", 10), "Go To Tray hides it")
    shell.drive("command", "32773")
    check(wait_until(lambda: shell.state().get("visible") == "1", 10),
          "Configuration shows it again")
    shell.drive("syscommand", "close")
    check(wait_until(lambda: shell.state().get("visible") == "0", 10),
          "the close box sends it to the tray")
    time.sleep(1)
    check(shell.program.poll() is None and shell.state().get("iconic") == "0",
          "and the program runs on, not minimised", shell.state())
    second = start([shell.wine_run, shell.prefix, shell.veilgate], group=True,
                   env=dict(os.environ, WINE_RUN_STREAM="1"))
    try:
        code = second.wait(60)
    except subprocess.TimeoutExpired:
        code = "still running"
    check(code == 0, "a second copy ends", code)
    check(wait_until(lambda: shell.state().get("visible") == "1", 10),
          "and the first copy's window is shown")

    # EXIT.
    shell.drive("command", "32772")
    check(shell.wait_program_end(30), "EXIT ends the program")
    check(shell.browser_proxy().get("proxy_flag") == "0", "EXIT restores the browsers")
    check("network.proxy.http_port" not in shell.prefs_text(), "EXIT restores prefs.js")
    check(shell.reg_query("PopUpsBlockedToday") == "0", "EXIT stores 0 in PopUpsBlockedToday")
    check(shell.reg_query("UseProxy") == "1", "EXIT keeps UseProxy")
    check(shell.machine_key_export() == shell.machine_before,
          "nothing was written under the machine's key")

    # The end of the session restores the browsers and keeps the choice.
    shell.start_program()
    check(wait_until(lambda: listening(shell.engine_port), 90), "started again, it listens")
    check(wait_until(lambda: shell.browser_proxy().get("proxy_flag") == "1", 10),
          "and points the browsers at the engine", (shell.browser_proxy(), shell.state()))
    shell.wine("wineboot", "--end-session", limit=60)
    check(wait_until(lambda: shell.browser_proxy().get("proxy_flag") == "0", 20),
          "the end of the session restores the browsers")
    check(shell.reg_query("UseProxy") == "1", "and keeps UseProxy")
    if shell.program.poll() is None:
        shell.drive("command", "32772")
        shell.wait_program_end(30)
    stop(shell.program)
    check(wait_until(lambda: not listening(shell.engine_port), 20), "the engine's port is free")

    # The Restart Manager's request to end (ENDSESSION_CLOSEAPP) is an EXIT.
    shell.start_program()
    check(wait_until(lambda: shell.browser_proxy().get("proxy_flag") == "1", 90),
          "started again, it points the browsers at the engine", shell.state())
    check(shell.drive("close-app")["ok"], "it agrees to end for the Restart Manager")
    check(shell.wait_program_end(30), "and ends", shell.state())
    check(shell.browser_proxy().get("proxy_flag") == "0", "with the browsers restored")
    check(shell.reg_query("UseProxy") == "1", "and UseProxy kept")
    check(wait_until(lambda: not listening(shell.engine_port), 20), "the engine's port is free")

    # A port already in use: "Cannot Start Proxy!" and everything off.
    with socket.socket() as holder:
        # The engine's closed connections may still hold the port in TIME_WAIT.
        holder.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        holder.bind(("127.0.0.1", shell.engine_port))
        holder.listen(1)
        shell.start_program()
        shown = shell.message(90)
        check(shown.get("text") == "Cannot Start Proxy!" and shown.get("caption") == "ERROR",
              "a port in use cannot be started", shown)
        # The window is on the screen while its start-up still switches the
        # browsers, so its state is waited for.
        state = wait_until(lambda: (lambda s: s if s.get("visible") == "1" and s.get(
            "status", "").endswith("[Local]") else None)(shell.state()), 30) or shell.state()
        check(state.get("enable") == "0" and state.get("status", "").endswith("[Local]"),
              "and the window shows everything off", state)
        check(shell.reg_query("UseProxy") == "0", "UseProxy 0")
        check(shell.browser_proxy().get("proxy_flag") == "0", "the browsers stay direct")
        shell.drive("command", "32772")
        check(shell.wait_program_end(30), "EXIT ends it")


USER_KEY = "HKCU\\Software\\Veilgate"


def run_without_freezing(shell):
    """A dead active proxy, kept "(not checked)" while the test page cannot
    be reached, is never replaced by an untested row; the window
    answers while "Refresh List" waits on a silent list service, and says
    why no list came; the minutes field takes what is typed into it; the
    first trip to the tray is remembered."""
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)
    try:
        for name, kind, value in (("ServerHost", "REG_SZ", f"127.0.0.1:{shell.list_port}"),
                                  ("UseProxy", "REG_DWORD", 1),
                                  ("ProxyName", "REG_SZ", f"127.0.0.1:{shell.dead_port}"),
                                  ("LocalPort", "REG_DWORD", shell.engine_port),
                                  ("AutoEnabled", "REG_DWORD", 0),
                                  ("AutoTimer", "REG_DWORD", 10),
                                  ("TrayHintShown", "REG_DWORD", 0),
                                  # No test page: the start-up test of the
                                  # dead proxy leaves it to the failover.
                                  ("JudgeUrl", "REG_SZ", f"http://127.0.0.1:{shell.dead_port}/")):
            shell.reg_add(name, kind, value, key=USER_KEY)
        with open(os.path.join(shell.data_files, "MyProxies.txt"), "w", newline="") as f:
            f.write(f"127.0.0.1:{shell.dead_port}->Nothing\r\n"
                    f"127.0.0.1:{shell.upstream_port}->Local\r\n")
        shell.start_program()
        check(wait_until(lambda: shell.state().get("items") == "3", 90, step=0.3),
              "the start-up list fills the selector", shell.state())

        dead = f"127.0.0.1:{shell.dead_port}"
        check(wait_until(lambda: shell.state().get("status", "").endswith(
            f"{dead} (not checked)"), 30), "without a test page the stored proxy stays unchecked",
            shell.state())
        page = subprocess.run(["curl", "-s", "-m", "20", "-x", f"http://127.0.0.1:{shell.engine_port}",
                               f"http://127.0.0.1:{shell.origin_port}/"],
                              capture_output=True, timeout=30, text=True).stdout
        check("502 Bad Gateway" in page and dead in page and "Test your proxies" in page,
              "the untested row is no failover: the 502 names the dead proxy and says what to do",
              page)
        check(shell.reg_query("ProxyName", key=USER_KEY) == dead, "and the dead proxy stays active")
        shell.reg_add("ServerHost", "REG_SZ", f"127.0.0.1:{silent.getsockname()[1]}",
                      key=USER_KEY)
        longest = answers_while(shell, 8, lambda: shell.drive("click", "1005"))
        # Far above the window's real answer times (measure_shell.py has
        # those); far below the old freeze of a whole WinINet time-out.
        check(longest < 2000, "the window answers while Refresh List waits on a silent service",
              longest)
        shown = shell.message(45)
        check(shown.get("caption") == "Error" and
              shown.get("text", "").startswith("Cannot update the proxy list: ") and
              shown.get("text", "").endswith("."), "a refresh without a list says why", shown)
        check(shell.state().get("items") == "3", "and keeps the items it had", shell.state())

        for typed in ("20", "15", "45"):
            shell.drive("type", "1064", typed)
            minutes = shell.state().get("minutes")
            stored = shell.reg_query("AutoTimer", key=USER_KEY)
            check(minutes == typed and stored == typed,
                  f"typing {typed} over the minutes field stores {typed}", (minutes, stored))

        shell.drive("click", "1")
        check(wait_until(lambda: shell.reg_query("TrayHintShown", key=USER_KEY) == "1", 10),
              "the first trip to the tray shows the hint and remembers it")
        shell.drive("command", "32773")
        shell.drive("command", "32772")
        check(shell.wait_program_end(30), "EXIT ends it")
    finally:
        stop(shell.program)
        silent.close()
        shell.reg_add("JudgeUrl", "REG_SZ", "", key=USER_KEY)


RUN_ONCE_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"
INTERNET_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
OWN_SERVER = "proxy.corp.example:3128"
OWN_PORT_LINE = '"network.proxy.http_port", 3128'


def run_never_stranded(shell):
    """Killed by its process id while on, Veilgate's watcher puts back the
    user's own LAN proxy and prefs.js from the record; an orderly EXIT leaves
    no watcher and no log-on entry; what a Veilgate killed with its watcher
    left is restored by the log-on entry (unless a Veilgate runs) and by
    Veilgate's own start-up."""
    local = f"127.0.0.1:{shell.engine_port}"
    for name, kind, value in (("ServerHost", "REG_SZ", f"127.0.0.1:{shell.list_port}"),
                              ("UseProxy", "REG_DWORD", 1),
                              ("ProxyName", "REG_SZ", shell.proxy_name),
                              ("LocalPort", "REG_DWORD", shell.engine_port),
                              ("Mozilla", "REG_DWORD", 1)):
        shell.reg_add(name, kind, value, key=USER_KEY)
    shell.reg_add("ProxyEnable", "REG_DWORD", 1, key=INTERNET_KEY)
    shell.reg_add("ProxyServer", "REG_SZ", OWN_SERVER, key=INTERNET_KEY)
    with open(shell.prefs, "w") as f:
        f.write('user_pref("network.proxy.http", "proxy.corp.example");\n'
                f"user_pref({OWN_PORT_LINE});\n"
                'user_pref("network.proxy.type", 1);\n')

    def pointed():
        return (shell.browser_proxy().get("proxy_server") == local and
                f'"network.proxy.http_port", {shell.engine_port}' in shell.prefs_text())

    def restored():
        return (shell.browser_proxy().get("proxy_server") == OWN_SERVER and
                OWN_PORT_LINE in shell.prefs_text())

    def watchers():
        return shell.drive("processes", "Gatereset")

    def run_once():
        return shell.reg_query("Gatereset", key=RUN_ONCE_KEY)

    def start_on(what):
        shell.start_program()
        check(wait_until(pointed, 90, step=0.3), what + ": the LAN and prefs.js point at it")
        return wait_until(lambda: (lambda w: w if w.get("count") == "1" else None)(watchers()),
                          10) or watchers()

    def kill_both():
        """A leftover: Veilgate and its watcher gone, the browsers on the engine."""
        shell.drive("kill", start_on("started to be killed").get("pids", "0"))
        shell.drive("kill", shell.state().get("pid", "0"))
        check(shell.wait_program_end(30) and pointed(), "killed with its watcher, it leaves a "
              "leftover", shell.browser_proxy())
        return run_once() or ""

    def run_entry(entry):
        """As Windows runs the entry at the next log-on."""
        program, _, arguments = entry.partition('" ')
        shell.wine(program.strip('"'), *arguments.split())

    watcher = start_on("started on")
    check(watcher.get("count") == "1", "one watcher watches it", watcher)
    check("/leftover" in (run_once() or ""), "and the log-on entry is written", run_once())
    timed = shell.drive("kill-and-time", shell.state().get("pid", "0"), OWN_SERVER,
                        shell.windows_path(shell.prefs), OWN_PORT_LINE)
    check(timed["ok"], "killed by its id, its LAN proxy and prefs.js come back", timed)
    print(f"kill -> restored under Wine: {timed.get('restored_ms')} ms (target 2000 ms)")
    check(shell.wait_program_end(30), "the killed program is gone")
    check(wait_until(lambda: watchers().get("count") == "0", 10), "and so is its watcher")
    check(run_once() is None, "which removed the log-on entry")

    start_on("started again")
    shell.drive("command", "32772")
    check(shell.wait_program_end(30), "EXIT ends it")
    check(wait_until(lambda: watchers().get("count") == "0", 10), "EXIT leaves no watcher")
    check(run_once() is None and restored(), "and no log-on entry", run_once())

    entry = kill_both()
    check("/leftover" in entry, "a leftover keeps its log-on entry", entry)
    run_entry(entry)
    check(restored(), "with none running, it puts back what the user had", shell.browser_proxy())
    check(run_once() is None, "and removes the entry")

    kill_both()
    shell.reg_add("UseProxy", "REG_DWORD", 0, key=USER_KEY)
    shell.start_program()
    check(wait_until(lambda: shell.state().get("visible") == "1", 90, step=0.3), "started off")
    check(restored() and run_once() is None, "its start-up restores the leftover, and leaves "
          "what the user had", (shell.browser_proxy(), shell.prefs_text(), run_once()))
    shell.drive("command", "32772")
    check(shell.wait_program_end(30), "EXIT ends it")


def run_port_change_while_on(shell):
    """The user's own LAN proxy and prefs.js, Veilgate on, a new LocalPort in
    Advanced Settings (which points everything at the new port), then the box
    unticked: the user's own proxy comes back, not the first port's engine."""
    new_port = free_port()
    shell.reg_add("UseProxy", "REG_DWORD", 1, key=USER_KEY)
    shell.reg_add("LocalPort", "REG_DWORD", shell.engine_port, key=USER_KEY)
    check(shell.browser_proxy().get("proxy_server") == OWN_SERVER and
          OWN_PORT_LINE in shell.prefs_text(), "the user's own LAN proxy and prefs.js",
          shell.browser_proxy())
    shell.start_program()
    check(wait_until(lambda: shell.browser_proxy().get("proxy_server") ==
                     f"127.0.0.1:{shell.engine_port}", 90, step=0.3), "on: the LAN points at it")
    shell.drive("toolbar", "102")
    check(wait_until(lambda: shell.drive("dialog-type", "Advanced Settings Dialog", "1034",
                                         str(new_port))["ok"], 20), "a new port is typed")
    shell.drive("dialog-click", "Advanced Settings Dialog", "1036")
    check(wait_until(lambda: shell.browser_proxy().get("proxy_server") == f"127.0.0.1:{new_port}"
                     and f'"network.proxy.http_port", {new_port}' in shell.prefs_text(), 30,
                     step=0.3), "the port changed while on: the LAN and prefs.js follow",
          (shell.browser_proxy(), shell.prefs_text()))
    check(wait_until(lambda: listening(new_port), 10), "the engine listens on the new port")
    shell.drive("click", "1000")
    check(wait_until(lambda: shell.browser_proxy().get("proxy_server") == OWN_SERVER and
                     OWN_PORT_LINE in shell.prefs_text(), 30, step=0.3),
          "unticked: the user's own proxy comes back", (shell.browser_proxy(), shell.prefs_text()))
    check(shell.browser_proxy().get("proxy_flag") == "1", "switched on, as the user had it",
          shell.browser_proxy())
    shell.drive("command", "32772")
    check(shell.wait_program_end(30), "EXIT ends it")
    shell.reg_add("LocalPort", "REG_DWORD", shell.engine_port, key=USER_KEY)


def answers_while(shell, seconds, action):
    """The longest time the window took to answer while `action` ran."""
    answers = {}
    waiting = threading.Thread(
        target=lambda: answers.update(shell.drive("freeze", str(seconds), limit=seconds + 30)))
    waiting.start()
    time.sleep(1)
    action()
    waiting.join()
    return int(answers.get("longest_ms", "99999"))


def evaluate_by_hand(shell, address):
    """"Add New Proxy" with the address, and "Start Testing" in the
    evaluation dialog; the dialog's rows, then "Done"."""
    shell.drive("click", "1004")
    wait_until(lambda: shell.drive("dialog-shown", "Add New Proxy")["ok"], 20)
    shell.drive("dialog-type", "Add New Proxy", "1012", address)
    shell.drive("dialog-click", "Add New Proxy", "1")
    check(wait_until(lambda: shell.drive("evaluation-rows")["ok"], 20),
          f"the evaluation dialog opens for {address}")
    rows = []

    def test():
        shell.drive("evaluation-click", "1016")
        rows.extend(wait_until(lambda: (lambda r: r if len(r) >= 6 else None)(
            shell.rows("evaluation-rows")), 20) or [])

    longest = answers_while(shell, 4, test)
    check(longest < 2000, f"the window answers while {address} is tested", longest)
    shell.drive("evaluation-click", "1015")
    return rows


def run_proxy_tests(shell):
    """The evaluation dialog against two real proxies, and "Test All
    Proxies" over a list that mixes them with ports that are no proxy."""
    elite = shell.start_tinyproxy("elite", ["Bind 127.0.0.3", "DisableViaHeader Yes"])
    transparent = shell.start_tinyproxy("transparent", ["Bind 127.0.0.4", "XTinyproxy Yes"])
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)
    silent_port = silent.getsockname()[1]
    upstream = f"127.0.0.1:{shell.upstream_port}"
    try:
        for name, kind, value in (("ServerHost", "REG_SZ", f"127.0.0.1:{shell.list_port}"),
                                  ("UseProxy", "REG_DWORD", 1), ("ProxyName", "REG_SZ", upstream),
                                  ("LocalPort", "REG_DWORD", shell.engine_port),
                                  ("AutoEnabled", "REG_DWORD", 0)):
            shell.reg_add(name, kind, value, key=USER_KEY)
        shell.write_tested_proxies([f"{upstream}->Local", f"127.0.0.1:{silent_port}->Silent",
                                    f"127.0.0.1:{shell.dead_port}->Nothing"])
        shell.start_program()
        check(wait_until(lambda: shell.state().get("status", "").endswith(" [Anonymous]"), 90),
              "at start-up the stored proxy is tested: anonymous", shell.state())

        # A SOCKS5 proxy added by hand: tested through its tunnel, made
        # active, and a page loaded through it.
        _, socks = start_microsocks(shell.work, outgoing="127.0.0.6")
        socks_address = f"socks5://127.0.0.1:{socks}"
        rows = evaluate_by_hand(shell, socks_address)
        responses = [row[1] if len(row) > 1 else "" for row in rows]
        check(responses[2:6] == ["Proxy ready", "Elite", "127.0.0.6", "Not supported"],
              "the dialog: microsocks is an elite SOCKS5 proxy, seen as 127.0.0.6", rows)
        check(wait_until(lambda: shell.state().get("status", "").endswith(
            f"{socks_address} [Elite]"), 10), "and becomes the active proxy", shell.state())
        check(shell.reg_query("ProxyName", key=USER_KEY) == socks_address,
              "ProxyName holds its scheme")
        check(shell.curl() == ORIGIN_BODY, "curl goes through the SOCKS5 proxy")

        rows = evaluate_by_hand(shell, f"127.0.0.1:{elite}")
        responses = [row[1] if len(row) > 1 else "" for row in rows]
        # Nothing serves HTTPS on the judge's host here, so no tunnel opens.
        check(responses[2:6] == ["Proxy ready", "Elite", "127.0.0.3", "Not supported"],
              "the dialog: tinyproxy without Via is elite, seen as 127.0.0.3", rows)
        print(f"      dialog elite: {responses[:2]}")
        check(wait_until(lambda: shell.state().get("status", "").endswith(
            f"127.0.0.1:{elite} [Elite]"), 10), "and becomes the active proxy", shell.state())
        check(shell.curl() == ORIGIN_BODY, "curl goes through the elite proxy")

        rows = evaluate_by_hand(shell, f"127.0.0.1:{transparent}")
        responses = [row[1] if len(row) > 1 else "" for row in rows]
        check(responses[3:5] == ["Transparent - sites see your IP", "127.0.0.4"],
              "the dialog: tinyproxy with XTinyproxy is transparent", rows)
        print(f"      dialog transparent: {responses[:2]}")
        shown = shell.message()
        check(shown.get("caption") == "Warning" and shown.get("text") ==
              "This proxy passes your own IP address on to the sites you visit. "
              "Veilgate will not use it.", "a transparent proxy is refused", shown)
        check(shell.reg_query("ProxyName", key=USER_KEY) == f"127.0.0.1:{elite}",
              "and the elite one stays active")

        longest = answers_while(shell, 12, lambda: shell.drive("list-menu", "0", "4"))
        check(longest < 2000, "the window answers during Test All Proxies", longest)
        check(wait_until(lambda: len(shell.rows()) == 4, 30),
              "Test All Proxies removes the silent port and the dead one", shell.rows())
        levels = {row[0]: row[4] for row in shell.rows() if len(row) >= 5}
        check(levels == {upstream: "Anonymous", f"127.0.0.1:{elite}": "Elite",
                         f"127.0.0.1:{transparent}": "Transparent", socks_address: "Elite"},
              "and shows each level", shell.rows())
        check(shell.state().get("status") == "Test failed - proxy removed",
              "the status line ends on the last removal", shell.state())

        # The tested rows are failover candidates: with the elite proxy gone,
        # the next proven row after it (wrapping past the transparent one)
        # takes over.
        stop(shell.tinyproxies[elite])
        check(shell.curl() == ORIGIN_BODY, "a page comes through the next tested proxy")
        told = f"127.0.0.1:{elite} did not answer; Veilgate now uses {upstream}."
        check(wait_until(lambda: shell.state().get("status") == told, 10),
              "with the window shown the status line alone says so", shell.state())
        check(shell.reg_query("ProxyName", key=USER_KEY) == upstream,
              "the next proven proxy is the active one")
        shell.drive("command", "32772")
        check(shell.wait_program_end(30), "EXIT ends it")
    finally:
        stop(shell.program)
        silent.close()


def run_one_check(shell):
    """SOCKS proxies from a list, one with "host:port:user:password", found
    by Find Working Proxies, turned to by the rotation as what they are and
    kept; the password still works after a restart; and a Test All whose
    test page goes away mid-run removes nothing."""
    judge = serve(http.server.ThreadingHTTPServer(("127.0.0.1", 0), Judge))
    _, plain = start_microsocks(shell.work, outgoing="127.0.0.6")
    _, signed = start_microsocks(shell.work, user="ann", password="s3cret", outgoing="127.0.0.7")
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)
    upstream = f"127.0.0.1:{shell.upstream_port}"
    plain_row, signed_row = f"socks5://127.0.0.1:{plain}", f"socks5://ann@127.0.0.1:{signed}"
    listed = os.path.join(shell.work, "socks-list.txt")
    with open(listed, "w") as f:
        f.write(f"{plain_row}\n127.0.0.1:{signed}:ann:s3cret\n")
    try:
        set_text_value(shell, "ProxySources", f"1\tsocks5\t{shell.windows_path(listed)}\n")
        for name, kind, value in (("ServerHost", "REG_SZ", f"127.0.0.1:{shell.list_port}"),
                                  ("JudgeUrl", "REG_SZ",
                                   f"http://127.0.0.1:{judge.server_address[1]}/"),
                                  ("UseProxy", "REG_DWORD", 1), ("ProxyName", "REG_SZ", upstream),
                                  ("LocalPort", "REG_DWORD", shell.engine_port),
                                  ("AutoEnabled", "REG_DWORD", 0)):
            shell.reg_add(name, kind, value, key=USER_KEY)
        shell.write_tested_proxies([f"{upstream}->Local",
                                    f"127.0.0.1:{silent.getsockname()[1]}->Silent"])
        shell.start_program()
        check(wait_until(lambda: shell.state().get("status", "").endswith(" [Anonymous]"), 90),
              "at start-up the stored proxy is tested", shell.state())
        shell.drive("click", "1005")
        check(shell.message(45).get("text") == "Proxy list updated!", "the list came")
        shell.drive("click", "1008")
        check(wait_until(lambda: shell.state().get("status", "").endswith(" working."), 30),
              "Find Working Proxies ends", shell.state())
        rows = sorted(row[0] for row in shell.rows()[2:])
        check(rows == sorted([plain_row, signed_row]), "it finds both SOCKS proxies", rows)

        # The rotation turns to each as what it is, and keeps them.
        seen = []
        for _ in range(2):
            before = shell.reg_query("ProxyName")
            shell.drive("timer")
            check(wait_until(lambda: shell.reg_query("ProxyName") != before, 20),
                  "a tick turns to the next proven row", shell.state())
            seen.append(shell.reg_query("ProxyName"))
            check(shell.curl() == ORIGIN_BODY, "and a page comes through it", seen)
        check(sorted(seen) == sorted(rows), "the ticks took both SOCKS proxies", seen)
        check(len(shell.rows()) == 4 and not shell.drive("message")["ok"],
              "the rotation removed nothing", shell.rows())
        shell.drive("command", "32772")
        check(shell.wait_program_end(30), "EXIT ends it")

        # After a restart the credentialed proxy, a list's "host:port:user:
        # password", still signs in: its password was kept.
        shell.reg_add("ProxyName", "REG_SZ", signed_row, key=USER_KEY)
        shell.start_program()
        check(wait_until(lambda: shell.state().get("status", "").endswith(
            f"{signed_row} [Elite]"), 90), "its start-up test passes", shell.state())
        check(shell.curl() == ORIGIN_BODY, "and a page comes through it")

        # Test All, the test page gone once the run began: the silent row's
        # failure says nothing of it, so it stays.
        shell.drive("list-menu", "0", "4")
        time.sleep(1)
        judge.shutdown()
        judge.server_close()
        check(wait_until(lambda: not re.match(r"Testing proxies: [0-3] of",
                                              shell.state().get("status", "")), 40),
              "Test All ends", shell.state())
        check(len(shell.rows()) == 4, "with the test page gone it removes nothing", shell.rows())
        shell.drive("command", "32772")
        check(shell.wait_program_end(30), "EXIT ends it")
    finally:
        stop(shell.program)
        silent.close()
        set_text_value(shell, "ProxySources", "")
        shell.reg_add("JudgeUrl", "REG_SZ", "", key=USER_KEY)


def set_text_value(shell, name, text):
    """A REG_SZ of the user's key holding line ends and tabs, which reg add
    cannot write: imported as a .reg file's hex(1) value."""
    # A REGEDIT4 file is read in the ANSI code page, which is UTF-8 here.
    data = ",".join(f"{b:02x}" for b in (text + "\0").encode("utf-8"))
    reg_file = os.path.join(shell.work, name + ".reg")
    with open(reg_file, "w", newline="\r\n") as f:
        f.write("REGEDIT4\n\n"
                f"[HKEY_CURRENT_USER\\Software\\Veilgate]\n\"{name}\"=hex(1):{data}\n")
    shell.wine("regedit", "/S", shell.windows_path(reg_file))


def run_find_working(shell):
    """Two sources on the stand-in list service (a host:port list and a
    scheme:// list) and a local file: "Refresh List" takes all of them,
    without repeats, and says what came; "Find Working Proxies" puts the live
    ones that hide the user into the list, elite first, the row already there
    updated in place, and leaves out the transparent, silent and dead ones;
    the window answers throughout. A click on a column title sorts the view
    only; the window grows with its list and keeps its size."""
    elite = shell.start_tinyproxy("find-elite", ["Bind 127.0.0.5", "DisableViaHeader Yes"])
    anonymous = shell.start_tinyproxy("find-anonymous", ["Bind 127.0.0.7"])
    transparent = shell.start_tinyproxy("find-transparent", ["Bind 127.0.0.6", "XTinyproxy Yes"])
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)
    upstream = f"127.0.0.1:{shell.upstream_port}"
    dead = f"127.0.0.1:{shell.dead_port}"
    try:
        with open(shell.source_lists["find-plain.txt"], "w") as f:
            f.write(f"# host:port\n127.0.0.1:{anonymous} FR\n{dead}\n")
        with open(shell.source_lists["find-schemes.txt"], "w") as f:
            f.write(f"http://127.0.0.1:{transparent}\nhttp://127.0.0.1:{silent.getsockname()[1]}\n"
                    f"http://127.0.0.1:{anonymous}\n")
        local = os.path.join(shell.work, "my-list.txt")
        with open(local, "w") as f:
            f.write(f"127.0.0.1:{elite},Germany,elite\n{upstream}\n")
        base = f"http://127.0.0.1:{shell.list_port}/lists/"
        set_text_value(shell, "ProxySources",
                       "1\thttp\tmaker\n"
                       f"1\thttp\t{base}find-plain.txt\n"
                       f"1\thttp\t{base}find-schemes.txt\n"
                       f"1\thttp\t{shell.windows_path(local)}\n")
        for name, kind, value in (("ServerHost", "REG_SZ", f"127.0.0.1:{shell.list_port}"),
                                  ("UseProxy", "REG_DWORD", 1), ("ProxyName", "REG_SZ", upstream),
                                  ("LocalPort", "REG_DWORD", shell.engine_port),
                                  ("AutoEnabled", "REG_DWORD", 0)):
            shell.reg_add(name, kind, value, key=USER_KEY)
        shell.write_tested_proxies([f"{upstream}->Local"])
        shell.start_program()
        check(wait_until(lambda: shell.state().get("status", "").endswith(" [Anonymous]"), 90),
              "at start-up the stored proxy is tested", shell.state())
        shell.drive("click", "1005")
        shown = shell.message(45)
        check(shown.get("text") == "Proxy list updated!", "Refresh List says the list came", shown)
        # The maker's two, the host:port list's new one, the scheme list's
        # three (its anonymous one came already), the file's elite one.
        check(shell.state().get("status") == "Proxy list updated: 6 proxies from 4 sources.",
              "the status line says what came from all four sources", shell.state())
        check(shell.state().get("items") == "6", "the selector offers them once each",
              shell.state())

        longest = answers_while(shell, 16, lambda: shell.drive("click", "1008"))
        check(longest < 2000, "the window answers while Find Working Proxies runs", longest)
        check(wait_until(lambda: shell.state().get("status", "").endswith(" working."), 30),
              "Find Working Proxies ends", shell.state())
        check(shell.state().get("status") == "Checked 6 of 6: 3 working.",
              "and says how many work", shell.state())
        rows = [tuple(row[i] for i in (0, 1, 4, 5)) for row in shell.rows() if len(row) == 6]
        check(rows == [(upstream, "Local", "Anonymous", "127.0.0.2"),
                       (f"127.0.0.1:{elite}", "Germany", "Elite", "127.0.0.5"),
                       (f"127.0.0.1:{anonymous}", "FR", "Anonymous", "127.0.0.7")],
              "the row there is updated in place, the new ones follow, elite first, each with "
              "the address the web sees through it", rows)

        # A click on "Anonymity" sorts the view, Elite first; the list (and
        # so the file below) keeps its order.
        shell.drive("column-click", "4")
        shown = [row[0] for row in shell.rows()]
        check(shown == [f"127.0.0.1:{elite}", upstream, f"127.0.0.1:{anonymous}"],
              "a click on a column title sorts the view by it", shown)

        # The window grows: the list with it, "Go To Tray" keeps to the
        # bottom right corner, "Enable Veilgate" to the top left.
        def places():
            return {id: [int(n) for n in shell.drive("place", id)["place"].split()]
                    for id in ("1000", "1001", "1002", "1")}
        before = places()
        client = [int(n) for n in shell.drive("place", "1")["client"].split()]
        check(shell.drive("resize", "1000", "650")["ok"], "the window can be resized")
        after = places()
        grown = [int(n) for n in shell.drive("place", "1")["client"].split()]
        dx, dy = grown[0] - client[0], grown[1] - client[1]
        check(dx > 0 and dy > 0, "the window grew", (client, grown))
        moved = lambda id, x, y, r, b: [a + d for a, d in zip(before[id], (x, y, r, b))]
        check(after["1000"] == before["1000"] and after["1002"] == moved("1002", 0, 0, dx, dy)
              and after["1"] == moved("1", dx, dy, dx, dy),
              "the list grows with the window and the other controls keep to their edges",
              (before, after, dx, dy))
        check(after["1001"] == moved("1001", 0, 0, dx, 0), "the selector widens with the list",
              (before["1001"], after["1001"], dx))
        shell.drive("command", "32772")
        check(shell.wait_program_end(30), "EXIT ends it")
        place = (shell.reg_query("MainWindowPlace") or "").split(",")
        check(len(place) == 5 and int(place[2]) - int(place[0]) == 1000
              and int(place[3]) - int(place[1]) == 650 and place[4] == "0",
              "the window's size is kept for the user", place)
        saved = open(os.path.join(shell.unix_folder("LOCALAPPDATA"), "Veilgate",
                                  "MyProxies.txt"), newline="").read()
        check(saved == f"{upstream}->Local\r\n127.0.0.1:{elite}->Germany\r\n"
                       f"127.0.0.1:{anonymous}->FR\r\n", "and the list file keeps them", saved)
    finally:
        stop(shell.program)
        silent.close()
        set_text_value(shell, "ProxySources", "")


CHECK_CAPTION = "Check My Protection"
ITEM_TITLES, ITEM_VERDICTS, ITEM_SENTENCES, ITEM_FIXES = 1100, 1110, 1120, 1130
CHECK_STATUS, CHECK_AGAIN, COPY_REPORT, CLOSE_CHECK = 1140, 1141, 1142, 1143
POLICIES = (("HKLM\\Software\\Policies\\Google\\Chrome", "WebRtcIPHandling"),
            ("HKLM\\Software\\Policies\\Microsoft\\Edge", "WebRtcLocalhostIpHandling"))


def protection_report(shell, name, action=None):
    """The verdicts of the open "Check My Protection" dialog once a check
    (after `action`, when given) has ended, and the text "Copy" gave, which is
    kept as NAME.txt beside the test's files and printed."""
    before = shell.drive("dialog-texts", CHECK_CAPTION, str(ITEM_SENTENCES), "8")
    if action:
        action()
        # The fix and the check after it end when a sentence changes.
        wait_until(lambda: shell.drive("dialog-texts", CHECK_CAPTION, str(ITEM_SENTENCES),
                                       "8") != before, 60, step=0.3)
    check(wait_until(lambda: shell.drive("dialog-texts", CHECK_CAPTION, str(CHECK_STATUS),
                                         "1").get("text0") == "Checked.", 60, step=0.3),
          f"{name}: the check ends")
    verdicts = shell.drive("dialog-texts", CHECK_CAPTION, str(ITEM_VERDICTS), "8")
    titles = shell.drive("dialog-texts", CHECK_CAPTION, str(ITEM_TITLES), "8")
    found = {titles.get(f"text{i}"): verdicts.get(f"text{i}") for i in range(8)}
    copy = os.path.join(shell.work, name + ".txt")
    shell.drive("dialog-click", CHECK_CAPTION, str(COPY_REPORT))
    wait_until(lambda: shell.drive("clipboard", shell.windows_path(copy))["ok"] and
               os.path.exists(copy) and name in name, 10)
    text = open(copy, newline="").read() if os.path.exists(copy) else ""
    print(f"      Copy gave ({name}):\n" + text.replace("\r\n", "\n"))
    return found, text


def open_protection_check(shell):
    shell.drive("click", "1080")
    check(wait_until(lambda: shell.drive("dialog-shown", CHECK_CAPTION)["ok"], 20),
          "Check My Protection opens")


def run_protection_check(shell):
    """"Check My Protection" on through tinyproxy: every item OK (IPv6
    aside); a transparent peer on the same port; a LAN changed behind
    Veilgate's back and a Firefox profile without the WebRTC entry, each put
    right by "Fix", and undone by EXIT."""
    upstream = f"127.0.0.1:{shell.upstream_port}"
    internet = INTERNET_KEY
    for name, kind, value in (("ServerHost", "REG_SZ", f"127.0.0.1:{shell.list_port}"),
                              ("UseProxy", "REG_DWORD", 1), ("ProxyName", "REG_SZ", upstream),
                              ("LocalPort", "REG_DWORD", shell.engine_port),
                              ("AutoEnabled", "REG_DWORD", 0), ("Mozilla", "REG_DWORD", 1)):
        shell.reg_add(name, kind, value, key=USER_KEY)
    shell.reg_add("ProxyEnable", "REG_DWORD", 0, key=internet)
    # The user's own proxy server, off, as it must be after EXIT.
    shell.reg_add("ProxyServer", "REG_SZ", "192.0.2.9:3128", key=internet)
    # The machine policies as setup sets them.
    for key, value in POLICIES:
        shell.wine("reg", "add", key, "/v", value, "/d", "disable_non_proxied_udp", "/f")
    second = os.path.join(os.path.dirname(os.path.dirname(shell.prefs)), "second.default",
                          "prefs.js")
    try:
        shell.start_program()
        check(wait_until(lambda: shell.state().get("status", "").endswith(" [Anonymous]"), 90),
              "on through tinyproxy, tested anonymous", shell.state())
        open_protection_check(shell)
        found, _ = protection_report(shell, "all_ok")
        ipv6 = found.pop("IPv6", None)
        check(len(found) == 7 and set(found.values()) == {"OK"}, "every item is OK", found)
        check(ipv6 in ("OK", "Problem"), "IPv6 is measured", ipv6)

        # The same port, now a transparent proxy: it hands the user's address on.
        stop(shell.tinyproxies.pop(shell.upstream_port))
        transparent = restart_tinyproxy(shell, shell.upstream_port,
                                        ["Bind 127.0.0.2", "XTinyproxy Yes"])
        try:
            found, text = protection_report(
                shell, "transparent",
                lambda: shell.drive("dialog-click", CHECK_CAPTION, str(CHECK_AGAIN)))
            check(found.get("What the web sees") == "Problem" and
                  "given your own address" in text and
                  found.get("The engine and the proxy") == "Problem",
                  "a transparent peer is a Problem", text)
        finally:
            stop(transparent)
            shell.tinyproxies[shell.upstream_port] = restart_tinyproxy(
                shell, shell.upstream_port, ["Bind 127.0.0.2"])

        # The LAN changed behind Veilgate's back.
        shell.reg_add("ProxyEnable", "REG_DWORD", 0, key=internet)
        found, text = protection_report(
            shell, "lan_changed",
            lambda: shell.drive("dialog-click", CHECK_CAPTION, str(CHECK_AGAIN)))
        check(found.get("Windows' connections") == "Problem" and "The LAN does not point" in
              text, "a LAN changed behind its back is a Problem", text)
        found, _ = protection_report(
            shell, "lan_fixed",
            lambda: shell.drive("dialog-click", CHECK_CAPTION, str(ITEM_FIXES + 2)))
        check(found.get("Windows' connections") == "OK", "Fix points it again", found)
        check(shell.browser_proxy().get("proxy_flag") == "1", "as WinINet says too",
              shell.browser_proxy())

        # A Firefox profile without the WebRTC entry.
        os.makedirs(os.path.dirname(second), exist_ok=True)
        with open(second, "w") as f:
            f.write('user_pref("network.proxy.http", "127.0.0.1");\n'
                    f'user_pref("network.proxy.http_port", {shell.engine_port});\n'
                    'user_pref("network.proxy.ssl", "127.0.0.1");\n'
                    f'user_pref("network.proxy.ssl_port", {shell.engine_port});\n'
                    'user_pref("network.dns.disablePrefetch", true);\n'
                    'user_pref("network.proxy.type", 1);\n')
        found, text = protection_report(
            shell, "firefox_webrtc",
            lambda: shell.drive("dialog-click", CHECK_CAPTION, str(CHECK_AGAIN)))
        check(found.get("Firefox") == "Problem" and "WebRTC is not held" in text,
              "a profile without the WebRTC entry is a Problem", text)
        found, _ = protection_report(
            shell, "firefox_fixed",
            lambda: shell.drive("dialog-click", CHECK_CAPTION, str(ITEM_FIXES + 3)))
        check(found.get("Firefox") == "OK", "Fix sets the entry", found)

        # Chrome's and Edge's policies: the user's own, written by Fix.
        for key, value in POLICIES:
            shell.wine("reg", "delete", key, "/v", value, "/f")
        found, _ = protection_report(
            shell, "policies_missing",
            lambda: shell.drive("dialog-click", CHECK_CAPTION, str(CHECK_AGAIN)))
        check(found.get("Chrome and Edge WebRTC") == "Problem", "missing policies are a Problem",
              found)
        found, _ = protection_report(
            shell, "policies_fixed",
            lambda: shell.drive("dialog-click", CHECK_CAPTION, str(ITEM_FIXES + 4)))
        check(found.get("Chrome and Edge WebRTC") == "OK", "Fix writes the user's own", found)

        shell.drive("dialog-click", CHECK_CAPTION, str(CLOSE_CHECK))
        wait_until(lambda: not shell.drive("dialog-shown", CHECK_CAPTION)["ok"], 10)
        shell.drive("command", "32772")
        check(shell.wait_program_end(30), "EXIT ends it")
        check(shell.browser_proxy().get("proxy_flag") == "0" and
              shell.browser_proxy().get("proxy_server") == "192.0.2.9:3128",
              "EXIT undoes the LAN's fix: the user's own settings are back", shell.browser_proxy())
        with open(second) as f:
            check("proxy_only" not in f.read(), "and the WebRTC entry Fix wrote")
        for key, value in POLICIES:
            user_key = key.replace("HKLM", "HKCU")
            check(shell.reg_query(value, key=user_key) is None,
                  f"and the user's {value} policy", shell.reg_query(value, key=user_key))
    finally:
        stop(shell.program)
        shutil.rmtree(os.path.dirname(second), ignore_errors=True)


def restart_tinyproxy(shell, port, lines):
    """A tinyproxy on a port that one just left."""
    conf = os.path.join(shell.work, f"again{port}.conf")
    with open(conf, "w") as f:
        f.write("\n".join([f"Port {port}", "Listen 127.0.0.1", "Allow 127.0.0.1", "Timeout 60",
                           "LogLevel Warning"] + lines) + "\n")
    wait_until(lambda: not listening(port), 10)
    process = start(["tinyproxy", "-d", "-c", conf], group=True)
    wait_for_port(port, 10)
    return process


def run_large_selector(shell):
    """A source of 100,000 proxies: "Refresh List" puts every one into the
    selector a step at a time, the window answering throughout."""
    big = os.path.join(shell.work, "big-list.txt")
    with open(big, "w") as f:
        for i in range(100000):
            f.write(f"10.{i // 65536}.{i // 256 % 256}.{i % 256}:{1024 + i % 50000}\n")
    set_text_value(shell, "ProxySources", f"0\thttp\tmaker\n1\thttp\t{shell.windows_path(big)}\n")
    try:
        for name, kind, value in (("UseProxy", "REG_DWORD", 0), ("AutoEnabled", "REG_DWORD", 0),
                                  ("LocalPort", "REG_DWORD", shell.engine_port)):
            shell.reg_add(name, kind, value, key=USER_KEY)
        shell.write_tested_proxies([f"127.0.0.1:{shell.upstream_port}->Local"])
        shell.start_program()
        check(wait_until(lambda: int(shell.state().get("items") or 0) >= 100000, 120, step=1),
              "the start-up download fills the selector with all 100,000", shell.state())
        longest = answers_while(shell, 20, lambda: shell.drive("click", "1005"))
        check(longest < 1000, "the window answers while Refresh List fills it again", longest)
        shell.message(60)
        check(wait_until(lambda: int(shell.state().get("items") or 0) >= 100000, 120, step=1),
              "and the selector holds them all again", shell.state())
        shell.drive("command", "32772")
        check(shell.wait_program_end(60), "EXIT ends it")
    finally:
        stop(shell.program)
        set_text_value(shell, "ProxySources", "")


def main():
    # Stopped from outside (ctest's time-out), it still stops what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    if len(sys.argv) != 7:
        print(__doc__)
        return 2
    wine_run, prefix, veilgate, driver, list_service, gatereset = sys.argv[1:]
    display = None
    for number in range(120, 140):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            display = f":{number}"
            break
    # Every process here runs in a process group of its own, stopped whole:
    # a Wine program is wine-run.sh with the Wine processes under it.
    start(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"], group=True)
    os.environ["DISPLAY"] = display
    if not wait_until(lambda: subprocess.run(["xdpyinfo"], capture_output=True).returncode == 0,
                      10, step=0.2):
        print("Xvfb did not come up")
        stop_all()
        return 1
    shell = Shell(wine_run, prefix, veilgate, driver, list_service, gatereset)
    try:
        check(shell.start_peers(), "tinyproxy and the list service are up")
        shell.seed_settings()
        run(shell)
        run_without_freezing(shell)
        run_never_stranded(shell)
        run_port_change_while_on(shell)
        run_proxy_tests(shell)
        run_find_working(shell)
        run_one_check(shell)
        run_protection_check(shell)
        run_large_selector(shell)
    finally:
        stop_all()
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                       capture_output=True, timeout=60)
    return finish()


if __name__ == "__main__":
    sys.exit(main())
