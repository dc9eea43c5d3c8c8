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

# Wine's server and its services outlive the program they were started for and
# keep whatever output it had open; started here, they hold /dev/null instead
# of the pipe that ctest waits on to see the end of a test.
if wineserver -p300 </dev/null >/dev/null 2>&1; then
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1
fi

exec wine "$@"
