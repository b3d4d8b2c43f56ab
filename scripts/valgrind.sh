#!/usr/bin/env bash
# Runs every Linux test program once under valgrind's memcheck with leak
# checking; any error or definite leak fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each program runs where ctest runs it: the tool tests name their files
# relative to that folder.
root=$PWD
failed=0
for program in "$root"/out/build/linux/bin/*_test; do
  log="$root/out/valgrind-$(basename "$program").log"
  if (cd out/build/linux/tests && valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
      --show-leak-kinds=definite --suppressions="$root/tests/valgrind.supp" \
      "$program" --gtest_brief=1 >"$log" 2>&1); then
    echo "valgrind clean: $(basename "$program")"
  else
    echo "valgrind FAILED: $(basename "$program") (log: $log)"
    tail -n 30 "$log"
    failed=1
  fi
done
exit $failed
