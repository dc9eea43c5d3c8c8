#!/bin/bash
# Builds Veilgate.exe and runs it under Wine, on your display or, without one,
# on a private Xvfb display. A local tinyproxy stands in for the remote proxy,
# so browsing through the engine works here without any outside server, and
# the project's list service stands in for the maker's web server.
# Ctrl-C (or any other end of this script) stops everything it started.
#
# For the test command's check of this script: VEILGATE_RUN_NO_BUILD=1 uses
# what is built, VEILGATE_RUN_PREFIX and VEILGATE_RUN_STATE name the Wine
# prefix and the folder for the stand-ins' files, VEILGATE_LOCAL_PORT sets
# the port Veilgate listens on.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${VEILGATE_RUN_NO_BUILD:-}" ]; then
  scripts/deps.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target Veilgate Gatereset
  cmake --preset host >/dev/null
  cmake --build --preset host --target list_service
fi

build=$PWD/build/windows
prefix=${VEILGATE_RUN_PREFIX:-$build/run-prefix}
state=${VEILGATE_RUN_STATE:-$build/run}
mkdir -p "$state"
pids=()
cleanup() {
  trap - EXIT INT TERM HUP
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Veilgate.exe, its watcher and Wine's own processes in this prefix.
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  wait 2>/dev/null || true
}
# A script waiting for a program in the foreground runs no trap until the
# program ends, and a Wine window ignores SIGINT: so Veilgate runs in the
# background below, and every signal that ends the script ends it too.
trap cleanup EXIT
trap 'cleanup; exit 130' INT
trap 'cleanup; exit 143' TERM HUP

if [ -z "${DISPLAY:-}" ]; then
  # A display number that no other X server holds, and our own server on
  # it: the answer of another program's server would not do, since it may
  # end at any time.
  for number in $(seq 90 139); do
    [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] || break
  done
  display=:$number
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  pids+=("$xvfb")
  export DISPLAY=$display
  # A server answers in well under a second, but once, on a machine busy
  # with Wine, none had answered after ten: it gets thirty, and the message
  # says whether it ended or was only slow.
  for _ in $(seq 150); do
    kill -0 "$xvfb" 2>/dev/null || break
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.2
  done
  if ! kill -0 "$xvfb" 2>/dev/null; then
    echo "Xvfb did not come up on $DISPLAY: it ended" >&2
    exit 1
  fi
  if ! xdpyinfo >/dev/null 2>&1; then
    echo "Xvfb did not come up on $DISPLAY: no answer within 30 s" >&2
    exit 1
  fi
  echo "No display: running on Xvfb $DISPLAY"
fi

upstream_port=${VEILGATE_UPSTREAM_PORT:-8888}
# A remote proxy connects out from an address of its own, so the test page
# sees another address through it than directly, as it would on the
# Internet: here 127.0.0.2, which the loopback interface also answers for.
cat > "$state/tinyproxy.conf" <<CONF
User nobody
Group nogroup
Port $upstream_port
Listen 127.0.0.1
Bind 127.0.0.2
Allow 127.0.0.1
Timeout 120
MaxClients 256
ConnectPort 443
LogLevel Warning
CONF
tinyproxy -d -c "$state/tinyproxy.conf" >"$state/tinyproxy.log" 2>&1 &
pids+=($!)

# The maker's web server: the list service on a free loopback port, offering
# the local tinyproxy and a proxy that does not answer, to see a failure.
cat > "$state/proxies.txt" <<LIST
127.0.0.1:$upstream_port->Local tinyproxy <supports POST>
127.0.0.1:1->Nothing listens here
LIST
rm -f "$state/list_service.port"
build/host/tools/list_service/list_service --proxies "${VEILGATE_PROXIES:-$state/proxies.txt}" \
  --port "${VEILGATE_LIST_PORT:-0}" --port-file "$state/list_service.port" \
  --log "$state/list_service.log" >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$state/list_service.port" ] && break; sleep 0.1; done
if [ ! -s "$state/list_service.port" ]; then
  echo "The list service did not report its port within 5 seconds" >&2
  exit 1
fi
list_port=$(cat "$state/list_service.port")

wine_run() { cmake/wine-run.sh "$prefix" "$@"; }
# Wine's own "MS Sans Serif" is wider than Windows' and cuts the main
# window's labels short; Tahoma has the metrics the layout expects.
wine_run reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Sans Serif' /d Tahoma /f >/dev/null
wine_run reg add 'HKCU\Software\Veilgate' /v ServerHost /t REG_SZ /d "127.0.0.1:$list_port" /f >/dev/null
# Anonymous browsing on, through the local stand-in proxy, as the README
# promises; a proxy chosen in an earlier run (perhaps a stand-in on another
# port, long gone) would greet the user with a dead proxy instead.
wine_run reg add 'HKCU\Software\Veilgate' /v UseProxy /t REG_DWORD /d 1 /f >/dev/null
wine_run reg add 'HKCU\Software\Veilgate' /v ProxyName /t REG_SZ /d "127.0.0.1:$upstream_port" /f >/dev/null
if [ -n "${VEILGATE_LOCAL_PORT:-}" ]; then
  wine_run reg add 'HKCU\Software\Veilgate' /v LocalPort /t REG_DWORD /d "$VEILGATE_LOCAL_PORT" /f >/dev/null
fi
stored=$(wine_run reg query 'HKCU\Software\Veilgate' /v LocalPort 2>/dev/null | tr -d '\r' | awk '/LocalPort/ {print $3}' || true)
port=$((${stored:-8080}))
echo "Veilgate listens on 127.0.0.1:$port (upstream proxy: tinyproxy on 127.0.0.1:$upstream_port)"
echo "Maker's server: list service on http://127.0.0.1:$list_port/ (requests in $state/list_service.log)"
echo "Try: curl -x http://127.0.0.1:$port http://example.com/    Stop with Ctrl-C."
echo "The main window opens; \"EXIT\" in its tray menu ends the program."
# Installed, Gatereset.exe and the help page sit beside Veilgate.exe, which
# starts Gatereset to watch over it; so they do here.
program=$state/program
mkdir -p "$program"
cp "$build/src/app/Veilgate.exe" "$build/src/restore/Gatereset.exe" src/app/help/help.htm "$program/"
wine_run "$program/Veilgate.exe" &
veilgate=$!
pids+=("$veilgate")
wait "$veilgate"
