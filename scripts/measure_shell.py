#!/usr/bin/python3
"""Prints how fast Veilgate.exe starts under Wine and how long its window
fails to answer, with the stand-in list service answering, silent and
trickling.

    scripts/measure_shell.py [--test-all-only | --scale] [VEILGATE.EXE]
                                              (after cmake --build --preset windows)

Without an argument it measures the build's own Veilgate.exe; with one, that
program (an earlier build, to compare). --test-all-only measures "Test All
Proxies" alone.

Figures: the time from starting Veilgate.exe to its main window on screen
and to the engine listening; the longest time the window took to answer a
message (SendMessageTimeout with WM_NULL every 50 ms) during start-up,
during "Refresh List" and during a rotation tick towards a proxy that takes
the connection attempt and never completes it. Windows calls a window "Not
Responding" after 5000 ms without an answer.

--scale measures large work instead: a file source of 100,000 lines and one
of 20,000 JSON objects refreshed together; "Find Working Proxies" over 10,000
loopback ports that refuse at once, run to its end and run again to be
stopped after 1 s; the start-up with 5,000 rows in "MyProxies.txt" and "Test
All Proxies" over them. Then, with a
test page whose name takes 10 s to resolve, "Stop" in a "Find Working
Proxies" that waits on it, and the "Proxy Sources"
dialog closed while its test of that page waits. For each: the longest time
the window took to answer, the time the work took, whether every proxy was
accounted for, and, for "Stop", the time until the program has no more
threads than before the run. Then the program's peak memory (VmHWM) in each.

A name lookup that hangs needs a name server that never answers: run as
root, --scale re-runs itself in a mount namespace of its own (unshare -m)
whose /etc/resolv.conf names a silent UDP socket on 127.0.0.77, with a 10 s
time-out; elsewhere the hanging cases are left out.

Then "Test All Proxies" over 20 proxies, 10 real tinyproxy peers (as they
come, without Via, with XTinyproxy; each making its outgoing connections from
an address of its own) and 10 ports that take connections and never answer:
the longest answer time during the run, and what the list showed for each
peer.
"""

import os
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "app"))
import shell_e2e_test as e2e  # noqa: E402
import e2e_support  # noqa: E402  (on the path that shell_e2e_test adds)

BUILD = os.path.join(ROOT, "build", "windows")
TITLE = "Veilgate v5.0 - Anonymity & Online Privacy"
USER_KEY = "HKCU\\Software\\Veilgate"
# A trickling service sends one byte this often, and gives up after
# TRICKLE_FOR seconds so that even a program that waits on it ends.
TRICKLE_EVERY = 10
TRICKLE_FOR = 90


def window_on_screen():
    out = subprocess.run(["xwininfo", "-name", TITLE], capture_output=True, text=True).stdout
    return "IsViewable" in out


def silent_server():
    """Takes connections (the system's backlog does) and never answers."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    return listener


def trickling_server():
    """Answers every request with a header and then one byte now and then."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    listener.settimeout(1)
    stopping = threading.Event()

    def serve(connection):
        with connection:
            connection.settimeout(TRICKLE_FOR)
            try:
                connection.recv(4096)
                connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n")
                until = time.monotonic() + TRICKLE_FOR
                while time.monotonic() < until and not stopping.is_set():
                    connection.sendall(b"1")
                    stopping.wait(TRICKLE_EVERY)
            except OSError:
                pass

    def accept():
        while not stopping.is_set():
            try:
                connection, _ = listener.accept()
            except OSError:
                continue
            threading.Thread(target=serve, args=(connection,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return listener, stopping


def unanswered_connects():
    """A port whose backlog is full: a connection attempt is neither taken
    nor refused, so it lasts until the caller gives up."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    fillers = []
    for _ in range(3):
        filler = socket.socket()
        filler.setblocking(False)
        try:
            filler.connect(listener.getsockname())
        except BlockingIOError:
            pass
        fillers.append(filler)
    return listener, fillers


def longest_answer_in_background(shell, seconds):
    result = {}

    def run():
        result.update(shell.drive("freeze", str(seconds), limit=seconds + 30))

    thread = threading.Thread(target=run)
    thread.start()
    return thread, result


def seed_user(shell, service_host, hanging_port):
    """The settings and the tested proxies in the user's own places, where
    the program reads them after its first start."""
    for name, kind, value in (("ServerHost", "REG_SZ", service_host),
                              ("UseProxy", "REG_DWORD", 1),
                              ("ProxyName", "REG_SZ", shell.proxy_name),
                              ("LocalPort", "REG_DWORD", shell.engine_port),
                              ("AutoEnabled", "REG_DWORD", 0),
                              ("AutoTimer", "REG_DWORD", 10)):
        shell.reg_add(name, kind, value, key=USER_KEY)
    local = shell.wine("cmd", "/c", "echo", "%LOCALAPPDATA%").stdout.strip()
    folder = os.path.join(shell.wine("winepath", "-u", local).stdout.strip(), "Veilgate")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "MyProxies.txt"), "w", newline="") as f:
        f.write(f"127.0.0.1:{shell.upstream_port}->Local\r\n"
                f"127.0.0.1:{hanging_port}->Hanging\r\n")


def measure(shell, service_host, hanging_port):
    seed_user(shell, service_host, hanging_port)
    answers, answered = longest_answer_in_background(shell, 100)
    began = shell.start_program()
    listening = window = None
    deadline = began + 100
    while time.monotonic() < deadline and (listening is None or window is None):
        now = time.monotonic() - began
        if listening is None and e2e.listening(shell.engine_port):
            listening = now
        if window is None and window_on_screen():
            window = now
        time.sleep(0.02)
    answers.join()
    start_up = answered.get("longest_ms", "?")

    # Each message is answered while the window is still watched, so what
    # the window does after the box closes counts too.
    answers, refreshed = longest_answer_in_background(shell, 45)
    time.sleep(1)
    shell.drive("click", "1005")
    shell.message(40)
    answers.join()

    answers, ticked = longest_answer_in_background(shell, 30)
    time.sleep(1)
    shell.drive("timer")
    shell.message(25)
    answers.join()

    shell.drive("command", "32772")
    shell.wait_program_end(60)
    e2e.stop(shell.program)
    return (window, listening, start_up, refreshed.get("longest_ms", "?"),
            ticked.get("longest_ms", "?"))


PEER_KINDS = (("as it comes", []), ("DisableViaHeader Yes", ["DisableViaHeader Yes"]),
              ("XTinyproxy Yes", ["XTinyproxy Yes"]))


def measure_test_all(shell):
    peers = []
    for i in range(10):
        kind, lines = PEER_KINDS[i % len(PEER_KINDS)]
        port = shell.start_tinyproxy(f"peer{i}", [f"Bind 127.0.0.{10 + i}"] + lines)
        peers.append((kind, f"127.0.0.1:{port}"))
    silent = [silent_server() for _ in range(10)]
    proxies = []
    for (kind, address), listener in zip(peers, silent):
        proxies += [f"{address}->{kind}", f"127.0.0.1:{listener.getsockname()[1]}->silent"]
    for name, kind, value in (("ServerHost", "REG_SZ", f"127.0.0.1:{shell.list_port}"),
                              ("UseProxy", "REG_DWORD", 0),
                              ("LocalPort", "REG_DWORD", shell.engine_port),
                              ("AutoEnabled", "REG_DWORD", 0)):
        shell.reg_add(name, kind, value, key=USER_KEY)
    shell.write_tested_proxies(proxies)
    shell.start_program()
    e2e.wait_until(lambda: shell.state().get("rows") == "20", 90)
    answers, answered = longest_answer_in_background(shell, 30)
    time.sleep(1)
    began = time.monotonic()
    shell.drive("list-menu", "0", "4")
    # Done when the silent ports are gone (each is given up after its share
    # of the test's budget).
    e2e.wait_until(lambda: len(shell.rows()) == 10, 40, step=0.2)
    took = time.monotonic() - began
    answers.join()
    longest = answered.get("longest_ms", "?")
    shown = {row[0]: row for row in shell.rows()}
    shell.drive("command", "32772")
    shell.wait_program_end(60)
    e2e.stop(shell.program)
    for listener in silent:
        listener.close()
    table = [(kind, shown.get(address, [address, kind, "removed", "", ""]))
             for kind, address in peers]
    return longest, took, table


def program_pid(shell):
    """The Linux process of Veilgate.exe under Wine."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode(errors="replace")
            with open(f"/proc/{entry}/environ", "rb") as f:
                environment = f.read()
        except OSError:
            continue
        if "Veilgate.exe" in command and f"WINEPREFIX={shell.prefix}".encode() in environment:
            return int(entry)
    return None


def status_field(pid, name):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(name + ":"):
                    return int(line.split()[1])
    except (OSError, ValueError, TypeError):
        pass
    return None


def refused_ports(count):
    """Loopback ports where nothing listens: each connect is refused at once."""
    ports = []
    port = 20000
    while len(ports) < count and port < 65000:
        probe = socket.socket()
        probe.settimeout(0.2)
        if probe.connect_ex(("127.0.0.1", port)) != 0:
            ports.append(port)
        probe.close()
        port += 1
    return ports


def run_then_stop(shell, seconds):
    """Starts "Find Working Proxies" a second after the answer watch began,
    clicks "Stop" `seconds` later: when Stop was clicked."""
    time.sleep(1)
    shell.drive("click", "1008")
    time.sleep(seconds)
    stopped = time.monotonic()
    shell.drive("click", "1008")
    return stopped


def timed(shell, seconds, action, done, limit):
    """Runs action, waits until done() (at most limit s): the longest
    answer of the window meanwhile, and the time done() took."""
    answers, answered = longest_answer_in_background(shell, seconds)
    time.sleep(1)
    began = time.monotonic()
    action()
    finished = e2e.wait_until(done, limit, step=0.2)
    took = time.monotonic() - began if finished else None
    answers.join()
    return answered.get("longest_ms", "?"), took


SILENT_RESOLVER = "127.0.0.77"
HANGING_JUDGE = "http://judge.hanging.invalid/azenv.php"


def in_private_resolver():
    """Re-runs this script with a name server that never answers, when it
    can; True when this run is that one."""
    if os.environ.get("VG_SILENT_RESOLVER"):
        return True
    if os.geteuid() != 0 or not shutil.which("unshare"):
        return False
    conf = tempfile.NamedTemporaryFile("w", prefix="resolv-", suffix=".conf", delete=False)
    conf.write(f"nameserver {SILENT_RESOLVER}\noptions timeout:10 attempts:1\n")
    conf.close()
    script = " ".join(shlex.quote(a) for a in [sys.executable] + sys.argv)
    result = subprocess.run(
        ["unshare", "-m", "sh", "-c",
         f"mount --bind {shlex.quote(conf.name)} /etc/resolv.conf && exec {script}"],
        env=dict(os.environ, VG_SILENT_RESOLVER="1"))
    os.unlink(conf.name)
    sys.exit(result.returncode)


def measure_hanging_lookup(shell, ports):
    """"Stop" and closing "Proxy Sources" while the test page's name is
    still being looked up."""
    silent = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    silent.bind((SILENT_RESOLVER, 53))
    rows = []
    e2e.set_text_value(shell, "JudgeUrl", HANGING_JUDGE)
    e2e.set_text_value(shell, "ProxySources", "1\thttp\t" + shell.windows_path(ports) + "\n")
    shell.start_program()
    e2e.wait_until(lambda: int(shell.state().get("items") or 0) > 0, 120, step=1)
    pid = program_pid(shell)
    threads = status_field(pid, "Threads")
    answers, answered = longest_answer_in_background(shell, 20)
    stopped = run_then_stop(shell, 2)
    # The run's own worker must be gone within a second; a lookup it left
    # behind ends when the name server's time-out does.
    time.sleep(max(0.0, 1 - (time.monotonic() - stopped)))
    left = (status_field(pid, "Threads") or 0) - (threads or 0)
    gone = e2e.wait_until(lambda: (status_field(pid, "Threads") or 0) <= threads, 30, step=0.1)
    threads_gone = time.monotonic() - stopped if gone else None
    answers.join()
    rows.append(("Stop while the page's name hangs", answered.get("longest_ms", "?"), None,
                 f"{left} thread(s) left 1 s after Stop",
                 f"{threads_gone:.2f}" if threads_gone is not None else "> 30"))
    answers, answered = longest_answer_in_background(shell, 15)
    time.sleep(1)
    shell.drive("command", "32774")
    e2e.wait_until(lambda: shell.drive("dialog-shown", "Proxy Sources")["ok"], 10, step=0.1)
    shell.drive("dialog-click", "Proxy Sources", "1109")
    time.sleep(2)
    closing = time.monotonic()
    shell.drive("dialog-click", "Proxy Sources", "2")
    closed = e2e.wait_until(lambda: not shell.drive("dialog-shown", "Proxy Sources")["ok"], 10,
                            step=0.05)
    close_took = time.monotonic() - closing if closed else None
    answers.join()
    rows.append(("Close Proxy Sources while it hangs", answered.get("longest_ms", "?"),
                 close_took, "closed" if closed else "still open", "-"))
    shell.drive("command", "32772")
    shell.wait_program_end(60)
    e2e.stop(shell.program)
    silent.close()
    return rows


def measure_scale(shell):
    work = shell.work
    text = os.path.join(work, "scale-lines.txt")
    with open(text, "w") as f:
        for i in range(100000):
            f.write(f"10.{i // 65536}.{i // 256 % 256}.{i % 256}:{1024 + i % 50000}\n")
    json_source = os.path.join(work, "scale-objects.json")
    with open(json_source, "w") as f:
        f.write("[" + ",".join(
            f'{{"ip": "11.{i // 65536}.{i // 256 % 256}.{i % 256}", "port": {2000 + i % 5000},'
            f' "country": "Nowhere", "anonymity": "elite"}}' for i in range(20000)) + "]")
    ports = refused_ports(10000)
    refused = os.path.join(work, "scale-refused.txt")
    with open(refused, "w") as f:
        f.writelines(f"127.0.0.1:{port}\n" for port in ports)
    refused_short = os.path.join(work, "scale-refused-200.txt")
    with open(refused_short, "w") as f:
        f.writelines(f"127.0.0.1:{port}\n" for port in ports[:200])
    for name, kind, value in (("UseProxy", "REG_DWORD", 0), ("AutoEnabled", "REG_DWORD", 0),
                              ("LocalPort", "REG_DWORD", shell.engine_port),
                              ("ServerHost", "REG_SZ", f"127.0.0.1:{shell.list_port}")):
        shell.reg_add(name, kind, value, key=USER_KEY)
    rows = []

    def sources(*paths):
        e2e.set_text_value(shell, "ProxySources", "0\thttp\tmaker\n" + "".join(
            f"1\thttp\t{shell.windows_path(path)}\n" for path in paths))

    def status():
        return shell.state().get("status", "")

    sources(text, json_source)
    shell.write_tested_proxies([f"127.0.0.1:{shell.upstream_port}->Local"])
    shell.start_program()
    # The union keeps the first 100,000 proxies of the 120,000 listed.
    e2e.wait_until(lambda: int(shell.state().get("items") or 0) >= 100000, 180, step=1)
    pid = program_pid(shell)
    longest, took = timed(shell, 60, lambda: shell.drive("click", "1005"),
                          lambda: shell.drive("message")["ok"], 50)
    shell.message(5)
    items = int(shell.state().get("items") or 0)
    rows.append(("Refresh: 100,000 lines + 20,000 JSON", longest, took,
                 f"{items:,} items (the first 100,000)", ""))
    memory = [("120,000 listed, refreshed", status_field(pid, "VmHWM"))]
    shell.drive("command", "32772")
    shell.wait_program_end(60)
    e2e.stop(shell.program)

    sources(refused)
    shell.start_program()
    e2e.wait_until(lambda: int(shell.state().get("items") or 0) >= len(ports), 120, step=1)
    pid = program_pid(shell)
    threads = status_field(pid, "Threads")
    total = f"{len(ports):,}"
    ended = f"Checked {total} of {total}: 0 working."
    longest, took = timed(shell, 200, lambda: shell.drive("click", "1008"),
                          lambda: status() == ended, 190)
    rows.append((f"Find Working over {total} refused", longest, took,
                 "checked = listed" if status() == ended else status(), ""))
    # "Stop" in the middle of a run, then until the run's threads are gone.
    answers, answered = longest_answer_in_background(shell, 30)
    stopped = run_then_stop(shell, 1)
    gone = e2e.wait_until(lambda: (status_field(pid, "Threads") or 0) <= threads, 20, step=0.05)
    stop_took = time.monotonic() - stopped if gone else None
    answers.join()
    rows.append(("Stop after 1 s", answered.get("longest_ms", "?"), None, status(),
                 f"{stop_took:.2f}" if stop_took is not None else "> 20"))
    memory.append((f"{total} checked", status_field(pid, "VmHWM")))
    shell.drive("command", "32772")
    shell.wait_program_end(60)
    e2e.stop(shell.program)

    sources()
    shell.write_tested_proxies([f"127.0.0.1:{port}->Refused" for port in ports[:5000]])
    # The file's rows arrive after the window shows; the columns follow.
    answers, answered = longest_answer_in_background(shell, 40)
    began = shell.start_program()
    loaded = e2e.wait_until(lambda: shell.state().get("rows") == "5000", 120, step=0.2)
    took = time.monotonic() - began if loaded else None
    answers.join()
    rows.append(("Start-up with 5,000 rows", answered.get("longest_ms", "?"), took,
                 f"{shell.state().get('rows')} rows listed", ""))
    pid = program_pid(shell)
    longest, took = timed(shell, 200, lambda: shell.drive("list-menu", "0", "4"),
                          lambda: shell.state().get("rows") == "0", 190)
    rows.append(("Test All over 5,000 refused rows", longest, took,
                 f"{shell.state().get('rows')} rows left", ""))
    memory.append(("5,000 rows tested", status_field(pid, "VmHWM")))
    shell.drive("command", "32772")
    shell.wait_program_end(60)
    e2e.stop(shell.program)
    if os.environ.get("VG_SILENT_RESOLVER"):
        rows += measure_hanging_lookup(shell, refused_short)
    return rows, memory


def print_scale(rows, memory):
    print(f"{'work':<40}{'longest ms':>12}{'took s':>9}  {'Stop to no thread s':>20}  outcome")
    for name, longest, took, outcome, stop_took in rows:
        print(f"{name:<40}{longest!s:>12}{(f'{took:.1f}' if took else '-'):>9}  "
              f"{stop_took:>20}  {outcome}")
    for work, peak in memory:
        print(f"peak memory of Veilgate.exe (VmHWM), {work}: {(peak or 0) // 1024} MiB")
    return 0


def rounded(value):
    return value if value is None else round(value, 2)


def main():
    # Stopped from outside, it still stops what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    if "--scale" in sys.argv[1:]:
        in_private_resolver()
    display = ":%d" % (140 + os.getpid() % 20)
    e2e.start(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
    os.environ["DISPLAY"] = display
    e2e.wait_until(lambda: subprocess.run(["xdpyinfo"], capture_output=True).returncode == 0, 10)
    arguments = sys.argv[1:]
    test_all_only = "--test-all-only" in arguments
    scale = "--scale" in arguments
    arguments = [a for a in arguments if a not in ("--test-all-only", "--scale")]
    prefix = os.path.join(BUILD, "shell-prefix")
    shell = e2e.Shell(os.path.join(ROOT, "cmake", "wine-run.sh"), prefix,
                      arguments[0] if arguments else
                      os.path.join(BUILD, "src", "app", "Veilgate.exe"),
                      os.path.join(BUILD, "tests", "app", "window_driver.exe"),
                      os.path.join(BUILD, "tools", "list_service", "list_service.exe"),
                      os.path.join(BUILD, "src", "restore", "Gatereset.exe"))
    rows = []
    stopping = None
    try:
        shell.start_peers()
        shell.seed_settings()
        # Xvfb runs no window manager, and Wine waits up to 2 s for one to
        # withdraw each managed window it hides (every message box that
        # closes): unmanaged windows measure the program, not that wait.
        shell.wine("reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed",
                   "/d", "N", "/f")
        hanging, _fillers = unanswered_connects()
        hanging_port = hanging.getsockname()[1]
        if test_all_only:
            test_all = measure_test_all(shell)
            return print_test_all(test_all)
        if scale:
            return print_scale(*measure_scale(shell))
        rows.append(("answering",) + measure(shell, f"127.0.0.1:{shell.list_port}",
                                             hanging_port))
        silent = silent_server()
        rows.append(("silent",) + measure(shell, f"127.0.0.1:{silent.getsockname()[1]}",
                                          hanging_port))
        trickling, stopping = trickling_server()
        rows.append(("trickling",) + measure(shell, f"127.0.0.1:{trickling.getsockname()[1]}",
                                             hanging_port))
        test_all = measure_test_all(shell)
    finally:
        if stopping:
            stopping.set()
        e2e_support.stop_all()
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                       capture_output=True, timeout=60)
    print("Longest time the main window took to answer a message (ms)")
    print(f"{'list service':<14}{'to window s':>12}{'to listening s':>16}"
          f"{'start-up ms':>13}{'Refresh ms':>12}{'rotation tick ms':>18}")
    for name, window, listening, start_up, refresh, tick in rows:
        print(f"{name:<14}{rounded(window)!s:>12}{rounded(listening)!s:>16}"
              f"{start_up!s:>13}{refresh!s:>12}{tick!s:>18}")
    return print_test_all(test_all)


def print_test_all(test_all):
    longest, took, table = test_all
    print()
    print(f"Test All Proxies over 20 proxies, 10 of them silent: longest answer {longest} ms, "
          f"run about {took:.1f} s")
    print(f"{'peer':<22}{'address':<18}{'level':<13}{'response time':<18}{'download speed':<18}")
    for kind, row in table:
        print(f"{kind:<22}{row[0]:<18}{row[4]:<13}{row[2]:<18}{row[3]:<18}")
    print(f"{'silent port (x10)':<22}{'':<18}{'removed':<13}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
