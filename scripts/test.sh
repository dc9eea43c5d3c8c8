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

# A short, bounded libFuzzer run of each fuzz target, from its committed
# seeds; new inputs go to a scratch corpus in the build folder.
run_fuzz() {
  # Each entry is the tests folder and the target's name within it.
  local fuzzers=(engine/request engine/filter net/socks proxies/list_text)
  local targets=() entry
  for entry in "${fuzzers[@]}"; do targets+=("${entry%%/*}_${entry#*/}_fuzzer"); done
  echo "=== fuzz ==="
  if ! cmake --preset fuzz >/dev/null; then failed+=("fuzz (configure)"); return; fi
  if ! cmake --build --preset fuzz --target "${targets[@]}"; then failed+=("fuzz (build)"); return; fi
  local folder name fuzzer seeds scratch
  for entry in "${fuzzers[@]}"; do
    folder="${entry%%/*}"
    name="${entry#*/}"
    fuzzer="${folder}_${name}_fuzzer"
    seeds="tests/$folder/fuzz/${name}_corpus"
    scratch="build/fuzz/corpus/$fuzzer"
    mkdir -p "$scratch"
    if ! timeout 120 "build/fuzz/tests/$folder/$fuzzer" -max_total_time=25 -timeout=10 \
        -rss_limit_mb=1024 -print_final_stats=1 "$scratch" "$seeds"; then
      failed+=("fuzz ($fuzzer)")
    fi
  done
}

# The committed .clang-format, checked rather than applied: drift fails the run.
check_format() {
  echo "=== format ==="
  if ! git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' |
      xargs clang-format --dry-run -Werror; then
    failed+=("format")
  fi
}

check_format
run_preset host
run_fuzz
run_preset host-asan
run_preset host-tsan
run_preset windows
# Wine leaves its server running for a while after the last program ends.
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi

