#!/usr/bin/python3
"""Loopback throughput of the engine against the proxies it is measured by.

Run through bench/engine_bench.sh, which installs the programs. Every server
is started here on a free port with its own configuration and stopped by its
pid at the end. Prints one table row per run and then the engine's targets.
"""

import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DURATION = int(os.environ.get("BENCH_DURATION", "10"))
# Each configuration is run this many times and its median shown: single
# runs on shared cores vary by a third.
REPEAT = int(os.environ.get("BENCH_REPEAT", "3"))
HOST_ENGINE = os.path.join(ROOT, "build/host/src/engine/veilgate_engine")
# Another build of the engine to measure beside this one (BENCH_OTHER_ENGINE=path).
OTHER_ENGINE = os.environ.get("BENCH_OTHER_ENGINE", "")
# Entries shown of the profile (BENCH_PROFILE=1).
PROFILE_TOP = int(os.environ.get("BENCH_PROFILE_TOP", "15"))
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
WIN_ENGINE = os.path.join(ROOT, "build/windows/src/engine/veilgate_engine.exe")
WINE_RUN = [os.path.join(ROOT, "cmake/wine-run.sh"), os.path.join(ROOT, "build/windows/wineprefix")]
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from e2e_support import (free_port, start, start_engine, start_microsocks,  # noqa: E402
                         start_tinyproxy, stop, stop_all, wait_for_port)

# wrk counts a response only when it is complete; tinyproxy closes without
# saying "Connection: close", which wrk then reports as a read error on the
# next request of that connection, so read errors are shown apart as closes.
WRK_SCRIPT = r"""
function done(summary, latency, requests)
  local e = summary.errors
  io.write(string.format("RESULT %d %d %d %d %d %d %d %d %d\n",
    summary.requests, summary.duration, summary.bytes,
    latency:percentile(50), latency:percentile(99),
    e.connect, e.read, e.write + e.timeout, e.status))
end
"""


def peak_rss_mib(pids):
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/status" % pid) as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total / 1024.0


def cpu_seconds(pids):
    """User and system time used so far by these processes (all their threads)."""
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except (OSError, IndexError, ValueError):
            pass
    return total / float(CLOCK_TICKS)


def machine_ticks():
    """Busy and all clock ticks of the whole machine so far (/proc/stat)."""
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    idle = values[3] + values[4]  # idle and iowait
    return sum(values) - idle, sum(values)


def context_switches(pid):
    """The voluntary and forced context switches of pid's threads so far
    (threads that ended are not counted)."""
    counts = [0, 0]
    task_folder = "/proc/%d/task" % pid
    for task in os.listdir(task_folder):
        try:
            with open(os.path.join(task_folder, task, "status")) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        counts[0] += int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches:"):
                        counts[1] += int(line.split()[1])
        except OSError:
            continue  # ended meanwhile
    return counts


def child_pids(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return [int(p) for p in f.read().split()]
    except OSError:
        return []


def make_pages(www):
    with open(os.path.join(www, "1k.html"), "wb") as f:
        f.write(b"<html><body>" + b"x" * (1024 - 26) + b"</body></html>")
    chunk = (b"<p>Some text of the page, with a script and an object.</p>\n"
             b"<SCRIPT type=\"text/javascript\">var a = 1;</SCRIPT>\n"
             b"<object data=\"movie.swf\" width=\"1\" height=\"1\"></object>\n")
    page = b"<html><body>\n"
    while len(page) < 100 * 1024 - len(chunk):
        page += chunk
    page += b"</body></html>"
    with open(os.path.join(www, "100k.html"), "wb") as f:
        f.write(page.ljust(100 * 1024, b" "))
    with open(os.path.join(www, "10m.bin"), "wb") as f:
        f.write(random.Random(5).randbytes(10 * 1024 * 1024))


def start_nginx(work):
    port = free_port()
    www = os.path.join(work, "www")
    config = os.path.join(work, "nginx.conf")
    with open(config, "w") as f:
        f.write("""daemon off;
worker_processes 2;
pid %(work)s/nginx.pid;
error_log %(work)s/nginx-error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path %(work)s/nginx-body;
  keepalive_requests 1000000;
  server { listen 127.0.0.1:%(port)d; root %(www)s; }
}
""" % {"work": work, "port": port, "www": www})
    process = start(["nginx", "-p", work, "-c", config], os.path.join(work, "nginx.log"))
    return process, port


def start_privoxy(work, upstream_port, socks5=False):
    """Privoxy forwarding to the HTTP proxy at upstream_port, or with socks5
    to the SOCKS5 proxy there (forward-socks5, names resolved by the proxy)."""
    port = free_port()
    name = "privoxy-socks5" if socks5 else "privoxy"
    config = os.path.join(work, name + ".conf")
    forward = ("forward-socks5 / 127.0.0.1:%d ." if socks5 else "forward / 127.0.0.1:%d") % (
        upstream_port)
    with open(config, "w") as f:
        f.write("listen-address 127.0.0.1:%d\n%s\nconfdir %s\nlogdir %s\n" % (
            port, forward, work, work))
    return start(["privoxy", "--no-daemon", config], os.path.join(work, name + ".log")), port


def engine_arguments(enable_js):
    return ["--enable-js", str(enable_js), "--enable-activex", str(enable_js),
            "--max-seconds", "3600"]


def wrk(work, url, proxy_port, connections, close, pids):
    """The median (by requests/s) of REPEAT runs, with the front process's CPU."""
    runs = []
    for _ in range(REPEAT):
        before = cpu_seconds(pids())
        busy_before, all_before = machine_ticks()
        result = wrk_once(work, url, proxy_port, connections, close)
        if result:
            result["cpu"] = cpu_seconds(pids()) - before
            busy_after, all_after = machine_ticks()
            # Every process's CPU, wrk's and nginx's too: on a busy machine the
            # rate is what this CPU per request allows.
            result["machine"] = (busy_after - busy_before) / float(CLOCK_TICKS)
            result["busy"] = (busy_after - busy_before) / float(max(all_after - all_before, 1))
            runs.append(result)
    if not runs:
        return None
    runs.sort(key=lambda r: r["requests"] / max(r["duration"], 1))
    return runs[len(runs) // 2]


def wrk_once(work, url, proxy_port, connections, close):
    # wrk speaks to a proxy when the request line carries the absolute URL.
    script = os.path.join(work, "wrk.lua")
    with open(script, "w") as f:
        if proxy_port:
            f.write('wrk.path = "%s"\n' % url)
        f.write(WRK_SCRIPT)
    target = "http://127.0.0.1:%d/" % proxy_port if proxy_port else url
    command = ["wrk", "-t2", "-c%d" % connections, "-d%ds" % DURATION, "--timeout", "5s",
               "-s", script, target]
    if close:
        command[1:1] = ["-H", "Connection: close"]
    out = subprocess.run(command, capture_output=True, text=True,
                         timeout=DURATION + 60).stdout
    for line in out.splitlines():
        if line.startswith("RESULT "):
            values = [int(v) for v in line.split()[1:]]
            return dict(zip(["requests", "duration", "bytes", "p50", "p99", "connect", "read",
                             "writeto", "status"], values))
    return None


def row(name, page, connections, close, result, rss):
    if not result:
        print("%-22s %-10s %4d %-5s  (wrk failed)" % (name, page, connections,
                                                       "close" if close else "keep"))
        return None
    seconds = result["duration"] / 1e6
    rps = result["requests"] / seconds
    mibs = result["bytes"] / seconds / (1024 * 1024)
    errors = result["connect"] + result["writeto"] + result["status"]
    cpu = result.get("cpu", 0.0)
    us_per_request = cpu * 1e6 / max(result["requests"], 1)
    ms_per_mib = cpu * 1e3 / max(result["bytes"] / (1024.0 * 1024), 1e-9)
    machine_us = result.get("machine", 0.0) * 1e6 / max(result["requests"], 1)
    print("%-22s %-10s %4d %-5s %9.0f %9.1f %9.2f %9.2f %7d %7d %8.1f %8.1f %8.1f %8.1f %5.0f%%" % (
        name, page, connections, "close" if close else "keep", rps, mibs,
        result["p50"] / 1000.0, result["p99"] / 1000.0, errors, result["read"],
        us_per_request, ms_per_mib, rss, machine_us, 100 * result.get("busy", 0.0)), flush=True)
    return {"rps": rps, "mibs": mibs, "errors": errors, "us": us_per_request, "ms": ms_per_mib,
            "machine_us": machine_us, "busy": result.get("busy", 0.0)}


def held_idle_then_request(engine_port, url, count=300):
    idle = []
    try:
        for _ in range(count):
            idle.append(socket.create_connection(("127.0.0.1", engine_port), timeout=5))
        time.sleep(1)
        started = time.monotonic()
        result = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}",
                                 "--max-time", "10", "-x", "http://127.0.0.1:%d" % engine_port,
                                 url], capture_output=True, text=True, timeout=30)
        return time.monotonic() - started, result.stdout, len(idle)
    finally:
        for s in idle:
            s.close()


def silent_listener():
    """A listener whose queue is full and never accepted from: a connect to it
    does not complete, as to a proxy that died without a word."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    fillers = []
    while len(fillers) < 16:
        filler = socket.socket()
        filler.settimeout(0.3)
        try:
            filler.connect(listener.getsockname())
        except OSError:
            filler.close()
            break
        fillers.append(filler)
    return listener, fillers


def failover_wait(work, candidate_port, url):
    """Seconds a page took, and its status, with a silent active proxy and
    the next candidate answering (the engine's own 5 s connect limit)."""
    listener, fillers = silent_listener()
    try:
        engine, port = start_engine(
            [HOST_ENGINE], work, listener.getsockname()[1],
            ["--failover", "127.0.0.1:%d" % candidate_port] + engine_arguments(0),
            name="failover-engine")
        try:
            started = time.monotonic()
            result = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}",
                                     "--max-time", "30", "-x", "http://127.0.0.1:%d" % port,
                                     url], capture_output=True, text=True, timeout=60)
            return time.monotonic() - started, result.stdout
        finally:
            stop(engine)
    finally:
        for s in fillers + [listener]:
            s.close()


def fetch_in_turn(port, url, count):
    """count requests for url, one connection each, answered in full; how many were."""
    request = ("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n" % url).encode()
    answered = 0
    for _ in range(count):
        with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
            s.sendall(request)
            reply = b""
            while True:
                data = s.recv(65536)
                if not data:
                    break
                reply += data
        answered += reply.startswith(b"HTTP/1.1 200") or reply.startswith(b"HTTP/1.0 200")
    return answered


def profile_engine(work, name, engine, upstream, url, count):
    """The engine's user-space instructions (callgrind) and system calls
    (strace) per request over count requests in turn: counts, not times, so
    they hold on shared cores. Prints the top entries of each."""
    out = os.path.join(work, "callgrind.out")
    process, port = start_engine(["valgrind", "--tool=callgrind", "--instr-atstart=no",
                                  "--callgrind-out-file=" + out, engine], work, upstream,
                                 engine_arguments(0), name="callgrind", wait_seconds=120)
    fetch_in_turn(port, url, 20)  # threads and caches warm, then counted alone
    subprocess.run(["callgrind_control", "--instr=on", str(process.pid)], capture_output=True)
    answered = fetch_in_turn(port, url, count)
    stop(process)
    annotated = subprocess.run(["callgrind_annotate", "--inclusive=no", "--auto=no", out],
                               capture_output=True, text=True).stdout
    os.remove(out)
    print("\n%s, %s: %d of %d answered" % (name, engine, answered, count))
    total, entries, listing = 0, [], False
    for line in annotated.splitlines():
        entry = re.match(r"\s*([\d,]+) \(\s*[\d.]+%\)\s+(.*)", line)
        if line.endswith("file:function"):
            listing = True
        elif entry and "PROGRAM TOTALS" in line:
            total = int(entry.group(1).replace(",", ""))
        elif entry and listing:
            # "file:function [object]", shortened to the function's own name
            function = entry.group(2).split(" [")[0].split(":", 1)[-1]
            entries.append((int(entry.group(1).replace(",", "")), function[:100]))
    print("  user-space instructions per request: %d; the top functions (self):" % (
        total // max(count, 1)))
    for instructions, function in entries[:PROFILE_TOP]:
        print("  %9d  %5.1f%%  %s" % (instructions // max(count, 1),
                                      100.0 * instructions / max(total, 1), function))

    # System calls, counted by strace attached to every thread of the engine
    # once it listens; interrupting strace makes it write its summary. First,
    # untraced, the times its threads were put to sleep and woken: under the
    # kernel's own cost of loopback TCP, that is the largest share of the
    # engine's CPU per request.
    process, port = start_engine([engine], work, upstream, engine_arguments(0), name="strace")
    fetch_in_turn(port, url, 20)
    before = context_switches(process.pid)
    fetch_in_turn(port, url, count)
    after = context_switches(process.pid)
    switches = [after[0] - before[0], after[1] - before[1]]
    trace = os.path.join(work, "strace.out")
    tracer = subprocess.Popen(["strace", "-f", "-c", "-o", trace, "-p", str(process.pid)],
                              stderr=subprocess.DEVNULL)
    time.sleep(1)
    fetch_in_turn(port, url, count)
    tracer.send_signal(signal.SIGINT)
    tracer.wait(timeout=30)
    stop(process)
    calls = []
    with open(trace) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 5 and fields[3].isdigit():
                calls.append((int(fields[3]), fields[-1]))
    total_calls = sum(c for c, n in calls if n != "total")
    print("  system calls per request: %.1f (%s)" % (
        total_calls / float(count), ", ".join("%s %.1f" % (n, c / float(count))
                                               for c, n in sorted(calls, reverse=True)
                                               if n != "total" and c >= count // 2)))
    print("  context switches per request: %.2f voluntary, %.2f forced" % (
        switches[0] / float(count), switches[1] / float(count)))


def profile(work, www):
    """BENCH_PROFILE=1: where the engine's work per request goes, for the
    HTTP chain and the SOCKS5 chain, this build and the other one."""
    count = int(os.environ.get("BENCH_PROFILE_REQUESTS", "500"))
    nginx, origin_port = start_nginx(work)
    tinyproxy, tiny_port, _ = start_tinyproxy(work, ["LogLevel Critical"], max_clients=1024)
    microsocks, socks_port = start_microsocks(work, seconds=7200)
    if not wait_for_port(origin_port, 60):
        raise RuntimeError("nginx did not start; see %s" % work)
    url = "http://127.0.0.1:%d/1k.html" % origin_port
    engines = [HOST_ENGINE] + ([OTHER_ENGINE] if OTHER_ENGINE else [])
    for engine in engines:
        for name, upstream in (("HTTP chain (tinyproxy)", tiny_port),
                               ("SOCKS5 chain (microsocks)", "socks5://127.0.0.1:%d" % socks_port)):
            profile_engine(work, name, engine, upstream, url, count)
    return 0


def main():
    work = tempfile.mkdtemp(prefix="engine-bench-")
    os.chmod(work, 0o755)
    www = os.path.join(work, "www")
    os.mkdir(www)
    os.chmod(www, 0o755)
    make_pages(www)
    results = {}
    if os.environ.get("BENCH_PROFILE") == "1":
        try:
            return profile(work, www)
        finally:
            stop_all()
            shutil.rmtree(work, ignore_errors=True)
    try:
        nginx, origin_port = start_nginx(work)
        tinyproxy, tiny_port, _ = start_tinyproxy(work, ["LogLevel Critical"], max_clients=1024)
        privoxy, privoxy_port = start_privoxy(work, tiny_port)
        # The SOCKS5 chain: microsocks as the remote proxy.
        microsocks, socks_port = start_microsocks(work, seconds=7200)
        socks_privoxy, socks_privoxy_port = start_privoxy(work, socks_port, socks5=True)
        socks_upstream = "socks5://127.0.0.1:%d" % socks_port
        for port in (origin_port, privoxy_port, socks_privoxy_port):
            if not wait_for_port(port, 60):
                raise RuntimeError("a server did not start; see %s" % work)
        base = "http://127.0.0.1:%d/" % origin_port
        pages = [("1k", "1k.html", 0), ("100k", "100k.html", 0), ("100k+filter", "100k.html", 1),
                 ("10m", "10m.bin", 0)]

        quick = os.environ.get("BENCH_QUICK") == "1"
        if quick:  # tinyproxy, Privoxy and the engines; 1 KiB and 10 MiB, 16 connections, close
            pages = [p for p in pages if p[0] in ("1k", "10m")]
        shapes = [(16, True)] if quick else [(16, True), (16, False), (64, True), (64, False)]
        targets = [("origin (nginx)", None, lambda: [nginx.pid] + child_pids(nginx.pid)),
                   ("tinyproxy", tiny_port, lambda: [tinyproxy.pid] + child_pids(tinyproxy.pid)),
                   ("privoxy->tinyproxy", privoxy_port, lambda: [privoxy.pid]),
                   ("privoxy->microsocks", socks_privoxy_port, lambda: [socks_privoxy.pid])]
        engines = [("engine->tinyproxy", [HOST_ENGINE], tiny_port),
                   ("engine->microsocks", [HOST_ENGINE], socks_upstream)]
        if OTHER_ENGINE:
            engines.append(("other engine->tinyproxy", [OTHER_ENGINE], tiny_port))
        if quick:
            targets = targets[1:]
        elif os.path.exists(WIN_ENGINE) and shutil.which("wine"):
            engines.append(("engine.exe(wine)->tiny", WINE_RUN + [WIN_ENGINE], tiny_port))

        print("Medians of %d runs of %d s; CPU is the front process's (for tinyproxy, its"
              " workers too); \"all us\" is the whole machine's CPU per request, \"busy\""
              " how much of the machine was in use." % (REPEAT, DURATION))
        print("%-22s %-10s %4s %-5s %9s %9s %9s %9s %7s %7s %8s %8s %8s %8s %6s" % (
            "target", "page", "conn", "mode", "req/s", "MiB/s", "p50 ms", "p99 ms", "errors",
            "closes", "us/req", "ms/MiB", "peakRSS", "all us", "busy"))
        for name, port, pids in targets:
            for page, path, filtered in pages:
                if filtered:
                    continue  # the same bytes as the unfiltered run
                for connections, close in shapes:
                    r = wrk(work, base + path, port, connections, close, pids)
                    results[(name, page, connections, close)] = row(
                        name, page, connections, close, r, peak_rss_mib(pids()))
        for name, command, upstream in engines:
            for page, path, filtered in pages:
                engine, port = start_engine(command, work, upstream, engine_arguments(filtered),
                                            wait_seconds=180)
                for connections, close in shapes:
                    r = wrk(work, base + path, port, connections, close, lambda: [engine.pid])
                    results[(name, page, connections, close)] = row(
                        name, page, connections, close, r, peak_rss_mib([engine.pid]))
                stop(engine)

        scale, rss256, seconds, status = None, 0.0, 0.0, ""
        if not quick:
            print("\nHost engine at scale:")
            engine, port = start_engine([HOST_ENGINE], work, tiny_port, engine_arguments(0))
            scale = row("engine->tinyproxy", "1k", 256, True,
                        wrk(work, base + "1k.html", port, 256, True, lambda: [engine.pid]),
                        peak_rss_mib([engine.pid]))
            rss256 = peak_rss_mib([engine.pid])
            seconds, status, held = held_idle_then_request(port, base + "1k.html")
            print("  %d idle connections held; a new request answered %s in %.3f s" % (
                held, status, seconds))
            stop(engine)

        failover_seconds, failover_status = failover_wait(work, tiny_port, base + "1k.html")
        print("\nSilent active proxy, tinyproxy next: a page answered %s in %.3f s" % (
            failover_status, failover_seconds))

        print("\nTargets (each engine chained to tinyproxy, against tinyproxy alone):")
        for engine_name, _, _ in engines:
            if engine_name == "engine->microsocks":
                continue
            for page, connections, close, measure in (("1k", 16, True, "rps"),
                                                      ("1k", 64, True, "rps"),
                                                      ("10m", 16, True, "mibs"),
                                                      ("10m", 64, True, "mibs")):
                mine = results.get((engine_name, page, connections, close))
                theirs = results.get(("tinyproxy", page, connections, close))
                if not (mine and theirs and theirs[measure] > 0):
                    continue
                ratio = mine[measure] / theirs[measure]
                cost = "us" if measure == "rps" else "ms"
                cpu_ratio = mine[cost] / theirs[cost] if theirs[cost] > 0 else 0
                if mine[cost] <= 0:
                    # Under Wine the CPU is the wrapper's, not the engine's.
                    print("  %-24s %-4s %3d conn close %-4s %.2fx, CPU not measured" % (
                        engine_name, page, connections, measure, ratio))
                    continue
                # Per request: at least 0.85 of tinyproxy's rate on at most 0.4
                # of its CPU; per MiB, at most half its CPU.
                met = (ratio >= 0.85 and cpu_ratio <= 0.4) if measure == "rps" else cpu_ratio <= 0.5
                print("  %-24s %-4s %3d conn close %-4s %.2fx, CPU per %s %.2fx  %s" % (
                    engine_name, page, connections, measure, ratio,
                    "request" if measure == "rps" else "MiB", cpu_ratio,
                    "met" if met else "MISSED"))
                if measure == "rps" and theirs["busy"] > 0.9 and mine["busy"] > 0.9:
                    # Both runs used the whole machine, so the rates stand in the
                    # inverse ratio of the machine's CPU per request: 0.85x leaves
                    # the engine 0.176 of what tinyproxy's run costs in all.
                    print("    the machine was busy; per request it spent %.0f us against %.0f"
                          " (rate 0.85x allows %.0f more, the engine used %.0f)" % (
                              mine["machine_us"], theirs["machine_us"],
                              theirs["machine_us"] * (1 / 0.85 - 1), mine["us"]))
        # The SOCKS5 chain against the HTTP chain: as fast, and no more CPU
        # per request; beside it Privoxy's forward-socks5 for comparison.
        for page, connections, close, measure in (("1k", 16, True, "rps"),
                                                  ("1k", 64, True, "rps"),
                                                  ("10m", 16, True, "mibs"),
                                                  ("10m", 64, True, "mibs")):
            socks = results.get(("engine->microsocks", page, connections, close))
            http = results.get(("engine->tinyproxy", page, connections, close))
            privoxy_socks = results.get(("privoxy->microsocks", page, connections, close))
            if not (socks and http and http[measure] > 0):
                continue
            cost = "us" if measure == "rps" else "ms"
            ratio = socks[measure] / http[measure]
            cpu_ratio = socks[cost] / http[cost] if http[cost] > 0 else 0
            versus = (" (Privoxy forward-socks5: %.2fx of it)" % (
                privoxy_socks[measure] / socks[measure])) if privoxy_socks and socks[measure] else ""
            print("  engine SOCKS5 vs HTTP chain %-4s %3d conn close %-4s %.2fx, CPU per %s"
                  " %.2fx  %s%s" % (page, connections, measure, ratio,
                                    "request" if measure == "rps" else "MiB", cpu_ratio,
                                    "met" if ratio >= 0.95 and cpu_ratio <= 1.05 else "MISSED",
                                    versus))
        print("  silent proxy passed over, page in %.3f s  %s" % (
            failover_seconds, "met" if failover_seconds < 6 and failover_status == "200"
            else "MISSED"))
        if quick:
            return 0
        print("  256 connections: %d errors  %s" % (
            scale["errors"] if scale else -1, "met" if scale and scale["errors"] == 0 else "MISSED"))
        print("  300 idle held, new request in %.3f s  %s" % (
            seconds, "met" if seconds < 1 and status == "200" else "MISSED"))
        print("  peak RSS at 256 connections %.1f MiB  %s" % (
            rss256, "met" if rss256 < 32 else "MISSED"))
    finally:
        stop_all()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
