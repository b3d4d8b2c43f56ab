#!/usr/bin/env bash
# The README's first command: installs what the build needs, builds the Linux
# preset, prints the built-in sample page in the three colour modes through
# the render plug-in, and reads each job back into a listing and a picture.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j2

bin=out/build/linux/bin
out=out/sample
mkdir -p "$out"
for mode in mono gray color; do
  echo "== $mode"
  "$bin/kavhost" print -o "$out/$mode.job" --mode "$mode"
  "$bin/kavjob" inspect "$out/$mode.job" -o "$out/$mode.txt"
  tail -n 3 "$out/$mode.txt"
  "$bin/kavjob" decode "$out/$mode.job" -o "$out/$mode.png"
done
echo
echo "The rebuilt pages are in $out/: mono.png, gray.png and color.png;"
echo "the jobs are the .job files beside them, and their listings the .txt files."
