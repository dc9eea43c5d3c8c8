"""Shared pieces of the end-to-end test scripts and the benchmarks: checks
that are counted and reported, free ports on loopback, waiting for a
listener, processes that are always stopped by their id, and the peers
(tinyproxy, the engine, origin servers) that several scripts start."""

import http.server
import os
import signal
import socket
import subprocess
import tempfile
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


def kill_group(process):
    """Ends at once a process started in a session of its own (a browser)
    together with the helper processes it left."""
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


def serve(server):
    """Serves on a thread of its own that ends with the script."""
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def serve_page(body):
    """An origin server on a free loopback port that answers every GET with
    body; its port."""
    class Page(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    port = free_port()
    serve(http.server.ThreadingHTTPServer(("127.0.0.1", port), Page))
    return port


def start_tinyproxy(workdir, extra_lines=(), max_clients=100, seconds=None):
    """A tinyproxy on a free loopback port, with its configuration and log
    in workdir, killed by `timeout` after `seconds` when given. Returns the
    process, its port and its log's path once it listens."""
    port = free_port()
    config = os.path.join(workdir, "tinyproxy.conf")
    lines = ["Port %d" % port, "Listen 127.0.0.1", "Timeout 60", "MaxClients %d" % max_clients,
             "Allow 127.0.0.1"] + list(extra_lines)
    if os.geteuid() == 0:
        lines += ["User nobody", "Group nogroup"]
    with open(config, "w") as f:
        f.write("\n".join(lines) + "\n")
    command = ["tinyproxy", "-d", "-c", config]
    if seconds is not None:
        command = ["timeout", str(seconds)] + command
    log = os.path.join(workdir, "tinyproxy.log")
    process = start(command, log)
    if not wait_for_port(port, 20):
        raise RuntimeError("tinyproxy did not start")
    return process, port, log


def start_danted(workdir, seconds=600):
    """A Dante SOCKS server (SOCKS5 without sign-in, and SOCKS4, which it
    serves for addresses only: it refuses the 4a form) on a free loopback
    port. Returns the process and its port once it listens."""
    port = free_port()
    name = "danted-%d" % port
    config = os.path.join(workdir, name + ".conf")
    lines = ["logoutput: " + os.path.join(workdir, name + ".log"),
             "internal: 127.0.0.1 port = %d" % port, "external: 127.0.0.1",
             "socksmethod: none", "clientmethod: none"]
    if os.geteuid() == 0:
        lines += ["user.privileged: root", "user.unprivileged: nobody"]
    # The rules come after every setting.
    lines += ["client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}",
              "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  command: connect\n}"]
    with open(config, "w") as f:
        f.write("\n".join(lines) + "\n")
    process = start(["timeout", str(seconds), "danted", "-f", config, "-N", "1",
                     "-p", os.path.join(workdir, name + ".pid")])
    if not wait_for_port(port, 20):
        raise RuntimeError("danted did not start")
    return process, port


def start_microsocks(workdir, user=None, password=None, hosts_line=None, seconds=600,
                     outgoing=None):
    """A microsocks SOCKS5 server on a free loopback port, asking for user
    and password when given. With hosts_line (and root rights) it runs with a
    hosts file of its own that holds the line, which no other process sees:
    a name only the proxy can resolve. With outgoing, its connections to
    sites come from that address. Returns the process and its port."""
    port = free_port()
    command = ["timeout", str(seconds), "microsocks", "-i", "127.0.0.1", "-p", str(port)]
    if user is not None:
        command += ["-u", user, "-P", password]
    if outgoing is not None:
        command += ["-b", outgoing]
    if hosts_line is not None:
        hosts = os.path.join(workdir, "proxy-hosts-%d" % port)
        with open("/etc/hosts") as system, open(hosts, "w") as own:
            own.write(system.read() + "\n" + hosts_line + "\n")
        command = ["unshare", "--mount", "sh", "-c",
                   'mount --bind "$0" /etc/hosts && exec "$@"', hosts] + command
    process = start(command, os.path.join(workdir, "microsocks-%d.log" % port))
    if not wait_for_port(port, 20):
        raise RuntimeError("microsocks did not start")
    return process, port


def start_engine(command, workdir, upstream_port, extra_args=(), name="engine",
                 wait_seconds=60):
    """The engine on a free loopback port in front of the upstream proxy at
    upstream_port (a port on 127.0.0.1, or a whole proxy address such as
    "socks5://127.0.0.1:1080"; connecting directly when that is None),
    logging to workdir/NAME.log. Returns the process and its port once it
    listens."""
    port = free_port()
    if upstream_port is None:
        upstream = ["--direct"]
    elif isinstance(upstream_port, str):
        upstream = ["--upstream", upstream_port]
    else:
        upstream = ["--upstream", "127.0.0.1:%d" % upstream_port]
    command = list(command) + ["--port", str(port)] + upstream + list(extra_args)
    process = start(command, os.path.join(workdir, name + ".log"))
    if not wait_for_port(port, wait_seconds):
        stop(process)
        raise RuntimeError("the engine did not start: " + " ".join(command))
    return process, port


def run_in_temporary_folder(run, check_logs):
    """Runs run(folder) in a temporary folder; a set-up that raises fails
    with its reason. Then stops what was started, has check_logs(folder)
    look at the logs, shows their tails when anything failed and returns the
    exit code."""
    with tempfile.TemporaryDirectory() as workdir:
        # tinyproxy drops to nobody and must still read its configuration.
        os.chmod(workdir, 0o755)
        try:
            run(workdir)
        except Exception as error:  # a broken set-up fails the test, with its reason
            check(False, "set-up: %s" % error)
        finally:
            stop_all()
            check_logs(workdir)
            if FAILURES:
                print_log_tails(workdir)
    return finish()
