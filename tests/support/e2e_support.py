"""Shared pieces of the end-to-end test scripts: checks that are counted
and reported, free ports on loopback, waiting for a listener, and processes
that are started with a log file and always stopped by their id."""

import os
import socket
import subprocess
import time

# Every process started here and not yet stopped.
PROCESSES = []
# What failed so far, by the description given to check().
FAILURES = []


def check(condition, what, detail=""):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        FAILURES.append(what)
        if detail:
            print("      " + str(detail)[:800], flush=True)


def print_log_tails(folder, characters=1500):
    for name in sorted(os.listdir(folder)):
        if name.endswith(".log"):
            with open(os.path.join(folder, name), "rb") as f:
                print("--- %s (tail)\n%s" % (name, f.read()[-characters:].decode("latin-1")))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, limit):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        except OSError:
            time.sleep(0.1)
    return False


def start(command, log_path, **options):
    log = open(log_path, "wb")
    process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL, **options)
    log.close()
    PROCESSES.append(process)
    return process


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)
    if process in PROCESSES:
        PROCESSES.remove(process)


def stop_all():
    for process in list(PROCESSES):
        stop(process)
