#!/bin/bash
# Opens every dialog of the program under Xvfb, with Wine's X11 driver, and
# saves a PNG of each (and of the pictures) for review.
# Usage: scripts/screenshots.sh [--check] [OUTPUT-FOLDER]   (default build/screenshots)
# --check only makes sure that every dialog comes up, with what the windows
# preset has built (the test command runs it so).
set -euo pipefail
cd "$(dirname "$0")/.."

check_only=
if [ "${1:-}" = --check ]; then
  check_only=1
  shift
fi
if [ -z "$check_only" ]; then
  scripts/deps.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target dialog_gallery list_service
fi

out=$(realpath -m "${1:-build/screenshots}")
mkdir -p "$out"
build=$PWD/build/windows
prefix=$build/screenshot-prefix
work=$(mktemp -d)
xvfb_pid=
gallery_pid=
service_pid=
proxy_pid=
cleanup() {
  [ -n "$gallery_pid" ] && kill "$gallery_pid" 2>/dev/null || true
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
  [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=:$((70 + RANDOM % 19))
# Room for the main window at 200 %.
Xvfb "$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.2
done

# The gallery reports where its dialog is while it runs.
wine_run() { WINE_RUN_STREAM=1 cmake/wine-run.sh "$prefix" "$@"; }
# No window manager runs here: Wine draws the title bars itself.
wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# Nor a window manager to maximise a window: Wine does it itself for
# windows it does not leave to one.
wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# Wine's own "MS Sans Serif" is a wider bitmap face than Windows' and cuts
# the main window's labels short; Tahoma has the metrics the layout expects.
wine_run reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Sans Serif' /d Tahoma /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Veilgate' /v Opera /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Veilgate' /v LocalPort /t REG_DWORD /d 8080 /f >/dev/null 2>&1

# A free port on 127.0.0.1.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The active proxy is a real one, a local tinyproxy, since the main window
# tests it at its start and switches off (with a box) when nothing answers.
# Its connections leave from 127.0.0.2, so that the judge (the list service)
# finds it anonymous rather than transparent.
proxy_port=$(free_port)
cat > "$work/tinyproxy.conf" <<CONF
Port $proxy_port
Listen 127.0.0.1
Allow 127.0.0.1
Bind 127.0.0.2
Timeout 60
LogLevel Warning
CONF
tinyproxy -d -c "$work/tinyproxy.conf" >/dev/null 2>&1 &
proxy_pid=$!

# The main window: the selector filled from the stand-in list service, the
# list from a sample "MyProxies.txt", anonymous browsing on.
cat > "$work/proxies.txt" <<LIST
127.0.0.1:$proxy_port->Local tinyproxy <supports POST>
81.169.140.12:3128->Germany
62.210.123.7:8080->France <supports POST>
200.54.92.187:80->Chile
LIST
wine_run "$build/tools/list_service/list_service.exe" --proxies "Z:${work//\//\\}\\proxies.txt" \
  --port 0 --port-file "Z:${work//\//\\}\\list.port" >/dev/null 2>&1 &
service_pid=$!
for _ in $(seq 300); do [ -s "$work/list.port" ] && break; sleep 0.1; done
if [ ! -s "$work/list.port" ]; then
  echo "The list service did not report its port within 30 seconds" >&2
  exit 1
fi
# The lists are the user's own, in the local application data folder;
# AppPath, the installation's value, only holds the help page.
user_data="$prefix/drive_c/users/${USER:-$(id -un)}/AppData/Local/Veilgate"
mkdir -p "$work/data" "$user_data"
printf '127.0.0.1:%s->Local tinyproxy\r\n81.169.140.12:3128->Germany\r\n62.210.123.7:8080->France\r\n' \
  "$proxy_port" >"$user_data/MyProxies.txt"
wine_run reg add 'HKCU\Software\Veilgate' /v ServerHost /d "127.0.0.1:$(cat "$work/list.port")" /f >/dev/null 2>&1
wine_run reg add 'HKLM\Software\Veilgate' /v AppPath /d "Z:${work//\//\\}\\data\\" /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Veilgate' /v UseProxy /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Veilgate' /v ProxyName /d "127.0.0.1:$proxy_port->Local tinyproxy <supports POST>" /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Veilgate' /v AutoTimer /t REG_DWORD /d 10 /f >/dev/null 2>&1
# Away from 8080, where a real copy of the program may listen.
wine_run reg add 'HKCU\Software\Veilgate' /v LocalPort /t REG_DWORD /d $((40000 + RANDOM % 20000)) /f >/dev/null 2>&1

# Wine's screen resolution: the value winecfg's "Screen resolution" writes.
set_dpi() {
  wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
set_dpi 96

# Each shot is DIALOG or DIALOG@DPI (saved as DIALOG_DPIdpi.png); the main
# window, the proxy sources and the protection check are taken at 100 % and
# at 200 %, the main window at its default size and maximised.
for shot in main main@192 main_maximized main_maximized@192 add_proxy advanced_settings about \
    evaluation browser_config privacy \
    proxy_sources proxy_sources@192 protection protection@192; do
  dialog=${shot%@*}
  name=$dialog
  if [ "$shot" != "$dialog" ]; then
    name=${dialog}_${shot#*@}dpi
    set_dpi "${shot#*@}"
  fi
  done_file=$work/$name.done
  # Each shot of the main window starts from its default size and place,
  # not from where the previous one left it.
  wine_run reg delete 'HKCU\Software\Veilgate' /v MainWindowPlace /f >/dev/null 2>&1 || true
  rect_file=$work/$name.rect
  wine_run "$build/tests/app/dialog_gallery.exe" "$dialog" "Z:$done_file" >"$rect_file" 2>"$work/$name.err" &
  gallery_pid=$!
  for _ in $(seq 150); do
    [ -s "$rect_file" ] && break
    sleep 0.2
  done
  if [ ! -s "$rect_file" ]; then
    echo "$name: the dialog did not come up" >&2
    cat "$work/$name.err" >&2
    exit 1
  fi
  read -r x y w h <"$rect_file"
  [ -n "$check_only" ] ||
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
  touch "$done_file"
  wait "$gallery_pid" || true
  gallery_pid=
  # The other dialogs show the usual port.
  [ "${dialog%_maximized}" = main ] ||
    wine_run reg add 'HKCU\Software\Veilgate' /v LocalPort /t REG_DWORD /d 8080 /f >/dev/null 2>&1
  set_dpi 96
  if [ -n "$check_only" ]; then
    echo "$name: came up (${w}x${h})"
  else
    echo "$out/$name.png ($(identify -format '%wx%h' "$out/$name.png"))"
  fi
done
[ -z "$check_only" ] || exit 0

# The pictures, enlarged where they are small.
pictures=$build/src/app/pictures
convert "$pictures/background.bmp" "$out/picture_background.png"
convert "$pictures/toolbar.bmp" "$pictures/toolbar_hot.bmp" -append -scale 200% "$out/picture_toolbar.png"
convert "$pictures/selector.bmp" -scale 800% "$out/picture_selector.png"
convert "$pictures/veilgate.ico[2]" -background white -flatten -scale 400% "$out/picture_icon.png"
echo "Pictures in $out"
