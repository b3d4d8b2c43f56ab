#!/usr/bin/env bash
# Builds both targets from scratch and runs every test: natively on Linux,
# under the sanitizers, and the Windows DLLs under Wine.
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
run_preset linux-asan
(
  source scripts/wine-env.sh
  run_preset windows
)
