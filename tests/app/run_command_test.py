#!/usr/bin/python3
"""The README's run command as a new user meets it, headless and bounded.

    run_command_test.py REPO WINDOW-DRIVER

scripts/run.sh is started in a process group of its own, on what is built,
with a Wine prefix and free ports of the test's. It must come up with
anonymous browsing on through the stand-in proxy, serve a page through the
engine and that proxy, and end everything it started on Ctrl-C (SIGINT to
its process group, as a terminal sends it). Whatever it leaves is stopped by
its id and counted as a failure.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_support import (FAILURES, check, finish, free_port, listening,  # noqa: E402
                         serve_page, wait_until)

BODY = b"a page for a new user"


def processes_of(prefix, group):
    """The ids of the processes in the script's group or in its Wine prefix."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        pid = int(name)
        try:
            with open(f"/proc/{pid}/stat") as f:
                if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                    continue  # ended, waiting for its parent to reap it
            in_group = os.getpgid(pid) == group
            with open(f"/proc/{pid}/environ", "rb") as f:
                in_prefix = f"WINEPREFIX={prefix}".encode() in f.read().split(b"\0")
        except OSError:
            continue
        if in_group or in_prefix:
            found.append(pid)
    return found


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    repo, driver = sys.argv[1:]
    work = tempfile.mkdtemp(prefix="vg-run-")
    # The prefix outlives the test, so that only the first run makes it.
    prefix = os.path.join(repo, "build", "windows", "run-check-prefix")
    engine_port, upstream_port = free_port(), free_port()
    origin_port = serve_page(BODY)
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    env.update(VEILGATE_RUN_NO_BUILD="1", VEILGATE_RUN_PREFIX=prefix,
               VEILGATE_RUN_STATE=os.path.join(work, "run"),
               VEILGATE_UPSTREAM_PORT=str(upstream_port),
               VEILGATE_LOCAL_PORT=str(engine_port))
    # A new user: no settings of an earlier run in the kept prefix.
    if os.path.exists(os.path.join(prefix, ".veilgate-ready")):
        subprocess.run([os.path.join(repo, "cmake", "wine-run.sh"), prefix, "reg", "delete",
                        "HKCU\\Software\\Veilgate", "/f"], capture_output=True, timeout=120,
                       stdin=subprocess.DEVNULL, env=env)
        # Its Wine processes, started without a display, must not be the ones
        # the program then finds.
        subprocess.run(["wineserver", "-k"], env=dict(env, WINEPREFIX=prefix), timeout=60)
    log_path = os.path.join(work, "run.log")
    log = open(log_path, "wb")
    script = subprocess.Popen(["bash", os.path.join(repo, "scripts", "run.sh")], cwd=repo,
                              env=env, stdout=log, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, start_new_session=True)
    group = script.pid
    try:
        check(wait_until(lambda: listening(engine_port) or script.poll() is not None, 180,
                         step=0.5) and script.poll() is None,
              "the run command comes up and the engine listens")
        display = re.search(r"running on Xvfb (:\d+)", open(log_path).read())

        def status():
            result = subprocess.run(
                [os.path.join(repo, "cmake", "wine-run.sh"), prefix, driver, "state"],
                capture_output=True, text=True, timeout=60, stdin=subprocess.DEVNULL,
                env=dict(os.environ, DISPLAY=display.group(1) if display else ""))
            for line in result.stdout.splitlines():
                if line.startswith("status="):
                    return line[len("status="):]
            return ""

        # The start-up test of the stand-in proxy runs in the background.
        seen = wait_until(lambda: (lambda s: s if s.endswith("[Anonymous]") else None)(status()),
                          60, step=1) or status()
        check(seen == "Your visible IP Address is now : "
              f"127.0.0.1:{upstream_port} [Anonymous]",
              "anonymous browsing is on through the stand-in proxy, tested", seen)
        page = subprocess.run(["curl", "-s", "-i", "-m", "20", "-x",
                               f"http://127.0.0.1:{engine_port}",
                               f"http://127.0.0.1:{origin_port}/"],
                              capture_output=True, timeout=30)
        check(page.stdout.endswith(BODY) and b"tinyproxy" in page.stdout.lower(),
              "a page comes through the engine and the stand-in proxy", page.stdout[:300])
    finally:
        try:
            os.killpg(group, signal.SIGINT)
        except OSError:
            pass  # the script and all of its group have ended already
        try:
            code = script.wait(30)
        except subprocess.TimeoutExpired:
            code = "still running"
        check(code == 130, "Ctrl-C ends the script", (code, open(log_path).read()[-2000:]))
        left = wait_until(lambda: not processes_of(prefix, group), 20) or processes_of(prefix,
                                                                                        group)
        check(left is True, "and everything it started", left)
        for pid in processes_of(prefix, group):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        log.close()
        if FAILURES:
            with open(log_path, "rb") as f:
                print(f.read()[-3000:].decode("latin-1"))
        if not os.environ.get("VG_KEEP"):
            shutil.rmtree(work, ignore_errors=True)
    return finish()


if __name__ == "__main__":
    sys.exit(main())
