#!/usr/bin/python3
"""The engine under the attacks a hostile page or a misbehaving server can make.

    bench/engine_attacks.py [ENGINE]   (default: build/host/src/engine/veilgate_engine)

Everything runs on loopback: the engine's host build in front of a real
tinyproxy and origin servers started here; every loop is bounded and every
process started here is stopped by its pid. Prints one line per attack,
"holds" or "FAILS"; not a test of the build (it takes a minute or two).
"""

import http.server
import os
import random
import resource
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ENGINE = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    ROOT, "build/host/src/engine/veilgate_engine")
BIG = random.Random(11).randbytes(10 * 1024 * 1024)
PAGE = b"<html><SCRIPT>x()</SCRIPT>" + b"y" * 1000 + b"</html>"
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from e2e_support import serve, start_engine, start_tinyproxy, stop_all  # noqa: E402
RESULTS = []


def report(holds, what, detail=""):
    RESULTS.append(holds)
    print("%-6s %s %s" % ("holds" if holds else "FAILS", what, detail), flush=True)


class Origin(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def handle(self):
        try:
            super().handle()
        except OSError:
            pass  # a browser that left mid-download, as the attack means it to

    def do_GET(self):
        if self.path == "/big":
            body = BIG
        elif self.path == "/cut":  # the server goes away in the middle of the body
            self.send_response(200)
            self.send_header("Content-Length", str(len(BIG)))
            self.end_headers()
            self.wfile.write(BIG[:300000])
            self.close_connection = True
            return
        else:
            body = PAGE
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def raw_request(port, request, limit=10):
    with socket.create_connection(("127.0.0.1", port), timeout=limit) as s:
        s.sendall(request)
        data = b""
        while True:
            try:
                chunk = s.recv(65536)
            except OSError:
                break
            if not chunk:
                break
            data += chunk
        return data


def timed_get(port, url):
    started = time.monotonic()
    answer = raw_request(port, b"GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % url.encode())
    return time.monotonic() - started, answer


def descriptors(pid):
    try:
        return len(os.listdir("/proc/%d/fd" % pid))
    except OSError:
        return -1


def settle(pid, baseline, limit=15):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if descriptors(pid) <= baseline + 2:
            return True
        time.sleep(0.2)
    return False


def main():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 8192), hard))
    work = tempfile.mkdtemp(prefix="engine-attacks-")
    os.chmod(work, 0o755)
    origin = serve(http.server.ThreadingHTTPServer(("127.0.0.1", 0), Origin))
    base = "http://127.0.0.1:%d" % origin.server_address[1]
    try:
        _, tiny_port, _ = start_tinyproxy(work, ["LogLevel Critical"], max_clients=1024,
                                          seconds=600)
        engine, port = start_engine([ENGINE], work, tiny_port,
                                    ["--enable-js", "1", "--max-seconds", "600"], wait_seconds=20)
        direct, direct_port = start_engine([ENGINE], work, None, ["--max-seconds", "600"],
                                           name="direct", wait_seconds=20)
        time.sleep(0.5)
        baseline = descriptors(engine.pid)
        engine_pid = engine.pid

        # The engine's own address, by number and by name, in direct mode.
        for host in ("127.0.0.1", "localhost"):
            seconds, answer = timed_get(direct_port, "http://%s:%d/" % (host, direct_port))
            report(answer.startswith(b"HTTP/1.1 508 ") and seconds < 2,
                   "a request for %s at the engine's own port" % host, "%.3f s" % seconds)
        seconds, answer = timed_get(direct_port, base + "/page")
        report(answer.startswith(b"HTTP/1.0 200") or answer.startswith(b"HTTP/1.1 200"),
               "other requests still pass beside the loop", "%.3f s" % seconds)

        # Slowloris: connections that trickle their head a byte a second.
        trickling = [socket.create_connection(("127.0.0.1", port)) for _ in range(300)]
        worst = 0.0
        for second in range(6):
            for s in trickling:
                try:
                    s.send(b"GET http://h/ HTTP/1.1\r\nX"[second:second + 1])
                except OSError:
                    pass
            seconds, answer = timed_get(port, base + "/page")
            worst = max(worst, seconds)
            time.sleep(1)
        report(worst < 1.0 and b" 200 " in answer[:20],
               "300 trickling heads: new requests answered", "worst %.3f s" % worst)
        for s in trickling:
            s.close()
        report(settle(engine_pid, baseline), "their descriptors are let go")

        # A flood of idle connections: at most the cap held, 503 beyond it.
        idle = []
        for _ in range(2000):
            idle.append(socket.create_connection(("127.0.0.1", port), timeout=10))
        time.sleep(1)
        held = descriptors(engine_pid)
        busy = raw_request(port, b"GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n")
        report(held <= baseline + 2 * 512 + 40 and busy.startswith(b"HTTP/1.1 503 "),
               "2000 idle connections: the cap held, 503 beyond it",
               "%d descriptors, answer %r" % (held, busy[:32]))
        for s in idle:
            s.close()
        report(settle(engine_pid, baseline), "the flood's descriptors are let go")
        seconds, answer = timed_get(port, base + "/page")
        report(b" 200 " in answer[:20], "served normally once the flood is gone",
               "%.3f s" % seconds)

        # Browsers that go away in the middle of a download.
        for _ in range(40):
            with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
                s.sendall(b"GET %s/big HTTP/1.1\r\nHost: x\r\n\r\n" % base.encode())
                s.recv(100000)
        report(settle(engine_pid, baseline), "40 browsers leaving mid-download")

        # A server that goes away in the middle of its body.
        answer = raw_request(port, b"GET %s/cut HTTP/1.1\r\nHost: x\r\n\r\n" % base.encode())
        report(0 < len(answer) < len(BIG) and settle(engine_pid, baseline),
               "a server leaving mid-body", "%d bytes relayed" % len(answer))

        # 64 parallel 10 MiB downloads with the filter on: every length exact.
        curls = [subprocess.Popen(["curl", "-s", "--max-time", "120", "-o", "/dev/null", "-w",
                                   "%{size_download}", "-x", "http://127.0.0.1:%d" % port,
                                   base + "/big"], stdout=subprocess.PIPE)
                 for _ in range(64)]
        sizes = [c.communicate(timeout=180)[0] for c in curls]
        exact = sum(1 for s in sizes if s == str(len(BIG)).encode())
        others = ["%s (curl %d)" % (s.decode(), c.returncode) for s, c in zip(sizes, curls)
                  if s != str(len(BIG)).encode()]
        report(exact == 64, "64 parallel 10 MiB downloads, filter on",
               "%d exact %s" % (exact, " ".join(others)))
        report(engine.poll() is None and direct.poll() is None, "the engines are still running")
    finally:
        stop_all()
        origin.shutdown()
    print("%d held, %d failed" % (sum(RESULTS), len(RESULTS) - sum(RESULTS)))
    return 0 if all(RESULTS) else 1


if __name__ == "__main__":
    sys.exit(main())
