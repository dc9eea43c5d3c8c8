#!/usr/bin/python3
"""How fast "Find Working Proxies" checks a public-list-sized list.

2,000 proxies on loopback addresses 127.0.0.x: 1,200 refused ports, 400
listeners that accept and never answer, 200 that answer garbage, and 200
live ones: ports of a small forwarding proxy of this script's own, which
connects to the judge from 127.0.0.2 so that the judge sees another address
than the user's (Elite, as it adds no header). The judge is the stand-in list
service. The check is tools/find_check, the program's own list reader and
bulk check. Prints, for 8, 64 and 256 checks at once, the time, the count
found and the check's peak memory. Needs the host build of list_service and
find_check (cmake --build --preset host --target list_service find_check).
"""

import asyncio
import os
import resource
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST_SERVICE = os.path.join(ROOT, "build/host/tools/list_service/list_service")
FIND_CHECK = os.path.join(ROOT, "build/host/tools/find_check/find_check")
CONCURRENCIES = [int(c) for c in os.environ.get("BENCH_AT_ONCE", "8 64 256").split()]
REFUSED, SILENT, GARBAGE, LIVE = 1200, 400, 200, 200
FIRST_PORT = 42000


def address(i):
    """The i-th proxy's loopback address: 127.0.0.10 to 127.0.0.59."""
    return "127.0.0.%d" % (10 + i % 50)


class Stand:
    """The fake proxies, on one asyncio loop in a thread of their own."""

    def __init__(self, judge_port):
        self.judge_port = judge_port
        self.loop = asyncio.new_event_loop()
        self.servers = []
        self.ready = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def run(self):
        asyncio.set_event_loop(self.loop)
        self.loop.run_until_complete(self.open_all())
        self.ready.set()
        self.loop.run_forever()

    async def open_all(self):
        self.silent, self.garbage, self.live = [], [], []
        port = FIRST_PORT
        for kind, count, handler in (("silent", SILENT, self.hold),
                                     ("garbage", GARBAGE, self.babble),
                                     ("live", LIVE, self.forward)):
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
        self.ready.wait(120)

    def stop(self):
        for server in self.servers:
            self.loop.call_soon_threadsafe(server.close)
        self.loop.call_soon_threadsafe(self.loop.stop)


def refused_ports(count):
    """Addresses and ports where nothing listens: refused at once."""
    return ["127.0.1.%d:%d" % (1 + i % 200, 20000 + i) for i in range(count)]


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
    stand = None
    try:
        for _ in range(100):
            if os.path.exists(os.path.join(work, "judge.port")) and \
                    open(os.path.join(work, "judge.port")).read().strip():
                break
            time.sleep(0.05)
        judge_port = int(open(os.path.join(work, "judge.port")).read())
        stand = Stand(judge_port)
        stand.start()
        proxies = refused_ports(REFUSED) + stand.silent + stand.garbage + stand.live
        # Dead and live mixed, as a public list has them.
        proxies.sort(key=lambda p: hash(p) % 7919)
        list_file = os.path.join(work, "list.txt")
        with open(list_file, "w") as f:
            f.write("\n".join(proxies) + "\n")
        live = set(stand.live)
        judge = "http://127.0.0.1:%d/services/whatismyip/whatismyip.asp" % judge_port
        print("%d proxies: %d refused, %d silent, %d garbage, %d live" %
              (len(proxies), REFUSED, len(stand.silent), len(stand.garbage), len(stand.live)))
        print("| at once | seconds | found | live found | dead reported | peak memory |")
        print("|--------:|--------:|------:|-----------:|--------------:|------------:|")
        for at_once in CONCURRENCIES:
            out = subprocess.run([FIND_CHECK, list_file, judge, str(at_once)],
                                 capture_output=True, text=True, timeout=3600).stdout
            found = [line.split()[1] for line in out.splitlines() if line.startswith("found ")]
            summary = out.splitlines()[-1].split()
            seconds, peak_kib = float(summary[5]), int(summary[7])
            print("| %7d | %7.1f | %5d | %10d | %13d | %7.1f MiB |" %
                  (at_once, seconds, len(found), len(live & set(found)),
                   len(set(found) - live), peak_kib / 1024.0), flush=True)
    finally:
        if stand:
            stand.stop()
        service.terminate()
        service.wait()


if __name__ == "__main__":
    main()
