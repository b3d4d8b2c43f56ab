#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time, starting from its seed
# corpus; a crash fails the run and leaves the reproducer in out/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}

cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p out/fuzz
for fuzzer in out/build/linux-fuzz/bin/*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer)
  work="out/fuzz/$name"
  mkdir -p "$work/corpus"
  cp -n fuzz/corpus/"$name"/* "$work/corpus/" 2>/dev/null || true
  # Seeds that live in tests/data are named in a list rather than copied.
  while read -r target file; do
    if [[ "$target" == "$name" ]]; then cp -n "$file" "$work/corpus/"; fi
  done < <(grep -v '^#' fuzz/seeds_from_tests.txt)
  echo "== fuzzing $name for ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=4096 -artifact_prefix="$work/" -print_final_stats=1 \
      "$work/corpus" >"$work/log" 2>&1; then
    tail -n 40 "$work/log"
    echo "fuzzer $name found a failure; reproducer in $work/"
    exit 1
  fi
  grep -E "stat::number_of_executed_units|Done" "$work/log" | tail -n 2
done
