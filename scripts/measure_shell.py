#!/usr/bin/python3
"""Prints how fast Veilgate.exe starts under Wine and how long its window
freezes, with the stand-in list service answering and with it silent.

    scripts/measure_shell.py        (after cmake --build --preset windows)

Figures: the time from starting Veilgate.exe to its main window on screen
and to the engine listening; the window's longest freeze (the longest time
it took to answer a message) during start-up and during "Refresh List".
"""

import os
import signal
import socket
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "app"))
import shell_e2e_test as e2e  # noqa: E402

BUILD = os.path.join(ROOT, "build", "windows")
TITLE = "Veilgate v5.0 - Anonymity & Online Privacy"


def window_on_screen():
    out = subprocess.run(["xwininfo", "-name", TITLE], capture_output=True, text=True).stdout
    return "IsViewable" in out


def silent_server():
    """Takes connections (the system's backlog does) and never answers."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    return listener


def freeze_in_background(shell, seconds):
    result = {}

    def run():
        result.update(shell.drive("freeze", str(seconds), limit=seconds + 30))

    thread = threading.Thread(target=run)
    thread.start()
    return thread, result


def measure(shell, service_host):
    shell.reg_add("ServerHost", "REG_SZ", service_host)
    shell.reg_add("UseProxy", "REG_DWORD", 1)
    freeze, frozen = freeze_in_background(shell, 100)
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
    freeze.join()
    start_up = frozen.get("longest_ms", "?")

    refresh, refreshed = freeze_in_background(shell, 40)
    time.sleep(1)
    shell.drive("click", "1005")
    shell.message(30)
    refresh.join()
    shell.drive("command", "32772")
    shell.wait_program_end(30)
    e2e.stop(shell.program)
    return window, listening, start_up, refreshed.get("longest_ms", "?")


def main():
    # Stopped from outside, it still stops what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    display = ":%d" % (140 + os.getpid() % 20)
    xvfb = e2e.start(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = display
    e2e.wait_until(lambda: subprocess.run(["xdpyinfo"], capture_output=True).returncode == 0, 10)
    prefix = os.path.join(BUILD, "shell-prefix")
    shell = e2e.Shell(os.path.join(ROOT, "cmake", "wine-run.sh"), prefix,
                      os.path.join(BUILD, "src", "app", "Veilgate.exe"),
                      os.path.join(BUILD, "tests", "app", "window_driver.exe"),
                      os.path.join(BUILD, "tools", "list_service", "list_service.exe"))
    rows = []
    try:
        shell.start_peers()
        shell.seed_settings()
        rows.append(("answering",) + measure(shell, f"127.0.0.1:{shell.list_port}"))
        silent = silent_server()
        rows.append(("silent",) + measure(shell, f"127.0.0.1:{silent.getsockname()[1]}"))
    finally:
        for process in reversed(e2e.PROCESSES):
            e2e.stop(process)
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                       capture_output=True, timeout=60)
        e2e.stop(xvfb)
    print(f"{'list service':<14}{'to window s':>12}{'to listening s':>16}"
          f"{'start-up freeze ms':>20}{'Refresh freeze ms':>19}")
    for name, window, listening, start_up, refresh in rows:
        print(f"{name:<14}{window if window is None else round(window, 2)!s:>12}"
              f"{listening if listening is None else round(listening, 2)!s:>16}"
              f"{start_up!s:>20}{refresh!s:>19}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
