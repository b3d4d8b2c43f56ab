#!/usr/bin/env bash
# Builds both targets and runs every test: natively on Linux (and once more
# under valgrind), under the sanitizers (ThreadSanitizer: the tests that print
# on several threads), each fuzzer for a bounded time
# (FUZZ_SECONDS, default 30), and the Windows DLLs under Wine. Ends with the
# count of every ctest run together.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

summaries=$(mktemp)
trap 'rm -f "$summaries"' EXIT

run_preset() {
  local preset=$1
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: test"
  ctest --preset "$preset" | tee -a "$summaries"
}

run_preset linux
echo "== linux: test programs under valgrind"
bash scripts/valgrind.sh
run_preset linux-asan
# Only the tests that print on several threads are built and run here.
run_preset linux-tsan
echo "== fuzzers"
bash scripts/fuzz.sh
(
  source scripts/wine-env.sh
  run_preset windows
)

# "100% tests passed, 0 tests failed out of 157" from each run, added up.
awk '/tests failed out of/ { failed += $(NF-5); total += $NF }
     END { printf "ctest: %d passed, %d failed\n", total - failed, failed }' "$summaries"
