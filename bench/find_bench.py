#!/usr/bin/python3
"""How fast "Find Working Proxies" checks a public-list-sized list.

Two mixes of proxies on loopback addresses 127.0.0.x. The 2,000 mix: 1,200
refused ports, 400 listeners that accept and never answer, 200 that answer
garbage and 200 live ones. The 10,000 mix: 6,000 refused, 2,000 that accept
and never answer, 500 that never accept (a listener whose accept queue this
script keeps full, so that only the connect limit ends them), 500 garbage and
1,000 live. A live one is a port of a small forwarding proxy of this
script's own, which connects to the judge from 127.0.0.2 so that the judge
sees another address than the user's (Elite, as it adds no header). The
judge is the stand-in list service for the direct request, and a judge of
this script's own, which echoes as it does but serves many at once, behind
the live proxies; it serves the content test page as the list service does,
so the live ones pass the content check, which costs each of them one more
connection and request (its bytes are printed). The check is tools/find_check, the program's own list
reader and bulk check. Prints, for each mix at 256 checks at once and at the
default (BENCH_AT_ONCE), the time, the count found and the check's peak
memory. Needs the host build of list_service and find_check (cmake --build
--preset host --target list_service find_check); FIND_CHECK names another
find_check to measure.
"""

import asyncio
import html
import os
import resource
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST_SERVICE = os.path.join(ROOT, "build/host/tools/list_service/list_service")
FIND_CHECK = os.environ.get("FIND_CHECK",
                            os.path.join(ROOT, "build/host/tools/find_check/find_check"))
CONCURRENCIES = [int(c) for c in os.environ.get("BENCH_AT_ONCE", "256 2048").split()]
# refused, silent, never accepting, garbage, live
# "live1000" (BENCH_MIXES=live1000) times what a live proxy's check costs.
MIXES = {"2000": (1200, 400, 0, 200, 200), "10000": (6000, 2000, 500, 500, 1000),
         "live1000": (0, 0, 0, 0, 1000)}
FIRST_PORT = 42000
CONTENT_PATH = b"/services/vg/proxy/contenttest.htm"
# The content test page as the list service serves it, read once it runs.
CONTENT = b""


def address(i):
    """The i-th proxy's loopback address: 127.0.0.10 to 127.0.0.59."""
    return "127.0.0.%d" % (10 + i % 50)


class Stand:
    """The fake proxies and the judge behind the live ones, on one asyncio
    loop in a thread of their own."""

    def __init__(self, mix):
        _, self.silent_count, self.closed_count, self.garbage_count, self.live_count = mix
        self.loop = asyncio.new_event_loop()
        self.servers = []
        self.full = []
        self.ready = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def run(self):
        asyncio.set_event_loop(self.loop)
        self.loop.run_until_complete(self.open_all())
        self.ready.set()
        self.loop.run_forever()

    async def open_all(self):
        self.silent, self.garbage, self.live, self.closed = [], [], [], []
        judge = await asyncio.start_server(self.judge, "127.0.0.1", 0, backlog=4096)
        self.servers.append(judge)
        self.judge_port = judge.sockets[0].getsockname()[1]
        port = FIRST_PORT
        for kind, count, handler in (("silent", self.silent_count, self.hold),
                                     ("garbage", self.garbage_count, self.babble),
                                     ("live", self.live_count, self.forward)):
            for i in range(count):
                while True:
                    port += 1
                    try:
                        server = await asyncio.start_server(handler, address(i), port,
                                                            backlog=512)
                        break
                    except OSError:
                        continue
                self.servers.append(server)
                getattr(self, kind).append("%s:%d" % (address(i), port))
        for i in range(self.closed_count):
            self.closed.append(self.never_accepting(address(i)))

    def never_accepting(self, host):
        """A listener that never accepts, its queue filled by connections of
        this script's own, so that a further connect is never answered."""
        listener = socket.socket()
        listener.bind((host, 0))
        listener.listen(0)
        where = listener.getsockname()
        self.full.append(listener)
        for _ in range(4):
            filler = socket.socket()
            filler.setblocking(False)
            try:
                filler.connect(where)
            except BlockingIOError:
                pass
            self.full.append(filler)
        return "%s:%d" % where

    async def judge(self, reader, writer):
        """The list service's "What Is My IP?" page: the caller's address and
        the request's headers (with the check's marker)."""
        try:
            head = await reader.readuntil(b"\r\n\r\n")
            if head.split(b" ", 2)[1] == CONTENT_PATH:
                writer.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                             b"%d\r\nConnection: close\r\n\r\n%s" % (len(CONTENT), CONTENT))
                await writer.drain()
                return
            peer = writer.get_extra_info("peername")[0]
            body = ('<html><body><p>Your IP address is <b id="address">%s</b></p><pre>%s</pre>'
                    '</body></html>\n' % (peer, html.escape(head.decode("latin-1")))).encode()
            writer.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n"
                         b"Connection: close\r\n\r\n%s" % (len(body), body))
            await writer.drain()
        except (OSError, asyncio.IncompleteReadError, asyncio.LimitOverrunError):
            pass
        finally:
            writer.close()

    async def hold(self, reader, writer):
        try:
            await reader.read(1 << 16)
            await asyncio.sleep(60)
        finally:
            writer.close()

    async def babble(self, reader, writer):
        writer.write(b"\x16\x03\x01\x02\x00 not a proxy \xff\xfe" * 20)
        await writer.drain()
        writer.close()

    async def forward(self, reader, writer):
        """An HTTP proxy for GET in absolute form: the request goes to the
        judge from 127.0.0.2 in origin form, the answer comes back."""
        try:
            head = await reader.readuntil(b"\r\n\r\n")
            line, _, rest = head.partition(b"\r\n")
            method, target, version = line.split(b" ", 2)
            path = b"/" + target.split(b"/", 3)[3] if target.startswith(b"http://") else target
            upstream_reader, upstream_writer = await asyncio.open_connection(
                "127.0.0.1", self.judge_port, local_addr=("127.0.0.2", 0))
            upstream_writer.write(b"%s %s %s\r\n%s" % (method, path, version, rest))
            await upstream_writer.drain()
            while True:
                data = await upstream_reader.read(65536)
                if not data:
                    break
                writer.write(data)
                await writer.drain()
            upstream_writer.close()
        except (OSError, ValueError, IndexError, asyncio.IncompleteReadError):
            pass
        finally:
            writer.close()

    def start(self):
        self.thread.start()
        self.ready.wait(300)

    async def shut(self):
        for server in self.servers:
            server.close()
        tasks = [t for t in asyncio.all_tasks() if t is not asyncio.current_task()]
        for task in tasks:
            task.cancel()
        await asyncio.gather(*tasks, return_exceptions=True)

    def stop(self):
        asyncio.run_coroutine_threadsafe(self.shut(), self.loop).result(60)
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(10)
        for s in self.full:
            s.close()


def refused_ports(count):
    """Addresses and ports where nothing listens: refused at once."""
    return ["127.0.1.%d:%d" % (1 + i % 200, 20000 + i % 20000) for i in range(count)]


def measure(mix, name, work, judge_url):
    stand = Stand(mix)
    stand.start()
    try:
        proxies = refused_ports(mix[0]) + stand.silent + stand.closed + stand.garbage + stand.live
        # Dead and live mixed, as a public list has them.
        proxies.sort(key=lambda p: hash(p) % 7919)
        list_file = os.path.join(work, "list-%s.txt" % name)
        with open(list_file, "w") as f:
            f.write("\n".join(proxies) + "\n")
        live = set(stand.live)
        print("\n%d proxies: %d refused, %d silent, %d never accepting, %d garbage, %d live" %
              (len(proxies), mix[0], len(stand.silent), len(stand.closed), len(stand.garbage),
               len(stand.live)))
        print("| at once | seconds | found | live found | dead reported | peak memory |")
        print("|--------:|--------:|------:|-----------:|--------------:|------------:|")
        for at_once in CONCURRENCIES:
            out = subprocess.run([FIND_CHECK, list_file, judge_url, str(at_once)],
                                 capture_output=True, text=True, timeout=3600).stdout
            found = [line.split()[1] for line in out.splitlines() if line.startswith("found ")]
            summary = out.splitlines()[-1].split()
            seconds, peak_kib = float(summary[5]), int(summary[7])
            print("| %7d | %7.1f | %5d | %10d | %13d | %7.1f MiB |" %
                  (at_once, seconds, len(found), len(live & set(found)),
                   len(set(found) - live), peak_kib / 1024.0), flush=True)
    finally:
        stand.stop()


def main():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    for program in (LIST_SERVICE, FIND_CHECK):
        if not os.path.exists(program):
            sys.exit("missing %s: build the host targets list_service and find_check" % program)
    work = tempfile.mkdtemp(prefix="find_bench.")
    with open(os.path.join(work, "proxies.txt"), "w") as f:
        f.write("127.0.0.1:1->Nowhere\n")
    service = subprocess.Popen([LIST_SERVICE, "--proxies", os.path.join(work, "proxies.txt"),
                                "--port-file", os.path.join(work, "judge.port")],
                               stdout=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(os.path.join(work, "judge.port")) and \
                    open(os.path.join(work, "judge.port")).read().strip():
                break
            time.sleep(0.05)
        judge_port = int(open(os.path.join(work, "judge.port")).read())
        judge = "http://127.0.0.1:%d/services/whatismyip/whatismyip.asp" % judge_port
        global CONTENT
        CONTENT = urllib.request.urlopen("http://127.0.0.1:%d%s" % (
            judge_port, CONTENT_PATH.decode())).read()
        request = ("GET http://127.0.0.1:%d%s HTTP/1.0\r\nHost: 127.0.0.1:%d\r\nUser-Agent: "
                   "Veilgate\r\nAccept: */*\r\nX-Veilgate-Check: vg0000000000000000\r\n"
                   "Connection: close\r\n\r\n" % (judge_port, CONTENT_PATH.decode(), judge_port))
        answer_head = ("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n"
                       "Cache-Control: no-cache\r\nConnection: close\r\n\r\n" % len(CONTENT))
        print("content check per proxy that passes: one more connection, %d bytes sent, "
              "%d bytes received (%d of them the page)" % (len(request), len(answer_head) +
                                                          len(CONTENT), len(CONTENT)))
        print("find_check: %s" % FIND_CHECK)
        for name in os.environ.get("BENCH_MIXES", "2000 10000").split():
            measure(MIXES[name], name, work, judge)
    finally:
        service.terminate()
        service.wait()


if __name__ == "__main__":
    main()
