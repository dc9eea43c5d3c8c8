#!/usr/bin/env python3
"""How long "MyProxies.txt" of 10,000 rows takes to save and to load.

Runs tools/list_file_check natively and, when the windows preset has built
it, under Wine, where it also loads the rows into a report list view as the
main window does (drawing off, the row count given first). Prints a table of
the median of a few runs; not a test.
Usage: bench/list_file_bench.py [ROWS]   (default 10000; BENCH_REPEAT=runs, default 3)
Build first: cmake --build --preset host --target list_file_check (and the
same with --preset windows).
"""
import os
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NATIVE = os.path.join(ROOT, "build/host/tools/list_file_check/list_file_check")
WINDOWS = os.path.join(ROOT, "build/windows/tools/list_file_check/list_file_check.exe")
WINE_RUN = os.path.join(ROOT, "cmake/wine-run.sh")
PREFIX = os.path.join(ROOT, "build/windows/bench-prefix")


def run_once(command, folder, rows):
    output = subprocess.run(command + [folder, str(rows)], check=True, capture_output=True,
                            text=True, timeout=300).stdout.split()
    count, save_ms, load_ms, view_ms = int(output[0]), *map(float, output[1:4])
    if count != rows:
        sys.exit("%s wrote %d rows, not %d" % (command[-1], count, rows))
    return save_ms, load_ms, view_ms


def measure(name, command, folder_for_program, rows, repeat):
    runs = [run_once(command, folder_for_program, rows) for _ in range(repeat)]
    save, load, view = (statistics.median(column) for column in zip(*runs))
    view_text = "%8.1f" % view if view >= 0 else "%8s" % "-"
    print("%-22s %8d %9.1f %9.1f %s" % (name, rows, save, load, view_text))


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
    repeat = int(os.environ.get("BENCH_REPEAT", "3"))
    if not os.path.exists(NATIVE):
        sys.exit("missing %s: build the host target list_file_check" % NATIVE)
    with tempfile.TemporaryDirectory(prefix="list_file_bench.") as work:
        print("%-22s %8s %9s %9s %8s" % ("build", "rows", "save ms", "load ms", "view ms"))
        measure("host (native)", [NATIVE], work, rows, repeat)
        if os.path.exists(WINDOWS):
            wine = [WINE_RUN, PREFIX, WINDOWS]
            measure("windows (Wine)", wine, "Z:" + work.replace("/", "\\"), rows, repeat)
        else:
            print("(no Windows build: %s)" % WINDOWS)
    print("view ms: the load into a report list view, drawn once at the end (Wine's null "
          "display driver when no display is set).")


if __name__ == "__main__":
    main()
