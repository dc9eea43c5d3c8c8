#!/bin/bash
# Runs one Windows program under Wine in the build's own throwaway prefix.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made on first use: no Mono or Gecko installer prompts, and the
# null graphics driver unless a display is set, so window code runs headless.
set -u
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;${WINEDLLOVERRIDES:-}"

if [ ! -f "$prefix/.veilgate-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.veilgate-ready" ]; then
      rm -rf "$prefix"
      wineboot -i >/dev/null 2>&1
      wineserver -w
      if [ -z "${DISPLAY:-}" ]; then
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
        wineserver -w
      fi
      touch "$prefix/.veilgate-ready"
    fi
  ) 9>"$prefix.lock"
fi

# Wine starts its server, services and desktop process on demand, and they
# outlive the program they were started for, holding on to whatever output it
# had. Given ctest's pipe, they would keep ctest waiting for the end of the
# test's output long after the test ended. So the server is started here with
# /dev/null, and the program writes to a file that is shown when it ends.
wineserver -p300 </dev/null >/dev/null 2>&1 || true

# Callers that read the program's output while it runs ask for it as it comes.
if [ -n "${WINE_RUN_STREAM:-}" ]; then
  exec wine "$@"
fi

output=$(mktemp)
wine "$@" >"$output" 2>&1 &
child=$!
trap 'kill -TERM "$child" 2>/dev/null' TERM INT HUP
wait "$child"
status=$?
# A trapped signal interrupts the wait; the program's own status comes after.
while kill -0 "$child" 2>/dev/null; do
  wait "$child"
  status=$?
done
cat "$output"
rm -f "$output"
exit "$status"
