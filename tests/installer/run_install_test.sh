#!/bin/bash
# Runs the install/uninstall test in a Wine prefix of its own, made afresh in
# the build folder, so that the setup program installs into nothing but that
# prefix. Usage: run_install_test.sh BUILD_DIR TEST_EXE [gtest arguments]
set -u
build_dir=$(realpath "$1")
test_exe=$2
shift 2
prefix="$build_dir/install-test/wineprefix"

# Only ever a prefix inside this build folder: the test installs, uninstalls
# and deletes, which must never reach a real Wine prefix.
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  echo "refusing to run: $build_dir is not a build folder" >&2
  exit 1
fi
case "$prefix" in
  "$build_dir"/install-test/*) ;;
  *) echo "refusing to run outside $build_dir/install-test" >&2; exit 1 ;;
esac

WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
rm -rf "$build_dir/install-test"
mkdir -p "$build_dir/install-test/home"

# Wine writes menu entries and desktop links for the shortcuts it sees made
# into $HOME, unless its menu builder is off; both are kept inside the test.
export HOME="$build_dir/install-test/home"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CONFIG_HOME="$HOME/.config"
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
export VEILGATE_INSTALL_TEST_PREFIX="$prefix"

"$(dirname "$0")/../../cmake/wine-run.sh" "$prefix" "$test_exe" "$@"
status=$?
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
exit $status
