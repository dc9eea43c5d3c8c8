#!/bin/bash
# Loopback benchmark of the engine: the same wrk load against nginx (the
# ceiling), tinyproxy alone, Privoxy chained to tinyproxy, and the engine
# chained to tinyproxy (the host build, and the Windows build under Wine when
# it is built); and the SOCKS5 chain: the engine and Privoxy's forward-socks5
# each in front of microsocks. Prints a table; not a test.
# Usage: bench/engine_bench.sh   (BENCH_DURATION=seconds per run, default 10;
#   BENCH_REPEAT=runs per configuration, median shown, default 3; BENCH_QUICK=1:
#   1 KiB and 10 MiB at 16 connections only; BENCH_OTHER_ENGINE=path: another
#   build of veilgate_engine measured in the same run; BENCH_PROFILE=1: instead
#   of the table, the engine's user-space instructions (callgrind), system
#   calls (strace) and context switches per request, top entries first, for
#   both builds;
#   BENCH_PROFILE_REQUESTS, default 500, BENCH_PROFILE_TOP, default 15)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh wrk nginx-light privoxy tinyproxy microsocks valgrind strace
if [ ! -x build/host/src/engine/veilgate_engine ]; then
  cmake --preset host >/dev/null
  cmake --build --preset host --target veilgate_engine
fi
exec /usr/bin/python3 bench/engine_bench.py
