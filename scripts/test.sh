#!/bin/bash
# Installs what is missing, builds every preset and runs every test.
# The Windows tests run under Wine in a throwaway prefix inside build/windows.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh || exit 1

failed=()
run_preset() {
  local preset=$1
  echo "=== $preset ==="
  if ! cmake --preset "$preset" >/dev/null; then failed+=("$preset (configure)"); return; fi
  if ! cmake --build --preset "$preset"; then failed+=("$preset (build)"); return; fi
  if ! ctest --preset "$preset" -j2; then failed+=("$preset (tests)"); fi
}

run_preset host
run_preset host-asan
run_preset host-tsan
run_preset windows
# Wine leaves its server running for a while after the last program ends.
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi

