#!/usr/bin/env bash
# Builds both targets and runs every test: natively on Linux (and once more
# under valgrind), under the sanitizers, the Windows DLLs under Wine, and each
# fuzzer for a bounded time (FUZZ_SECONDS, default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

run_preset() {
  local preset=$1
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: test"
  ctest --preset "$preset"
}

run_preset linux
echo "== linux: test programs under valgrind"
bash scripts/valgrind.sh
run_preset linux-asan
(
  source scripts/wine-env.sh
  run_preset windows
)
echo "== fuzzers"
bash scripts/fuzz.sh
