"""Shared pieces of the end-to-end test scripts and the benchmarks: checks
that are counted and reported, free ports on loopback, waiting for a
listener, processes that are always stopped by their id, and origin servers
on a thread of their own."""

import os
import signal
import socket
import subprocess
import threading
import time

# Every process started here and not yet stopped, in start order.
PROCESSES = []
# Those of them that lead a process group of their own.
GROUP_LEADERS = []
# What failed so far, by the description given to check().
FAILURES = []


def check(condition, what, detail=""):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        FAILURES.append(what)
        if detail:
            print("      " + str(detail)[:800], flush=True)


def finish():
    """Prints the count of failed checks; the script's exit code."""
    print("%d failure(s)" % len(FAILURES))
    return 1 if FAILURES else 0


def print_log_tails(folder, characters=1500):
    for name in sorted(os.listdir(folder)):
        if name.endswith(".log"):
            with open(os.path.join(folder, name), "rb") as f:
                print("--- %s (tail)\n%s" % (name, f.read()[-characters:].decode("latin-1")))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(condition, limit, step=0.1):
    """The first true value of condition() within limit seconds, else its
    last value."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


def wait_for_port(port, limit):
    return wait_until(lambda: listening(port), limit)


def start(command, log_path=None, group=False, **options):
    """Starts command with its output in log_path, or dropped without one.
    With group, it leads a process group of its own and stop() ends the
    whole group: wrappers such as wine-run.sh leave the real program in a
    child that a signal to the wrapper alone would miss."""
    if log_path is None:
        return launch(command, subprocess.DEVNULL, group, options)
    with open(log_path, "wb") as log:
        return launch(command, log, group, options)


def launch(command, output, group, options):
    process = subprocess.Popen(command, stdout=output, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL, start_new_session=group, **options)
    PROCESSES.append(process)
    if group:
        GROUP_LEADERS.append(process)
    return process


def send_signal(process, number):
    try:
        if process in GROUP_LEADERS:
            os.killpg(process.pid, number)
        else:
            process.send_signal(number)
    except ProcessLookupError:
        pass


def stop(process):
    if process.poll() is None:
        send_signal(process, signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            send_signal(process, signal.SIGKILL)
            process.wait(timeout=10)
    if process in PROCESSES:
        PROCESSES.remove(process)
    if process in GROUP_LEADERS:
        GROUP_LEADERS.remove(process)


def stop_all():
    """Stops the processes in the reverse of their start order, so that a
    process goes before the peers it was started to talk to."""
    for process in list(reversed(PROCESSES)):
        stop(process)


def serve(server):
    """Serves on a thread of its own that ends with the script."""
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server
