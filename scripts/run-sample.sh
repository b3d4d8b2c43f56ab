#!/usr/bin/env bash
# The README's first command: installs what the build needs, builds the Linux
# preset, prints the built-in sample page in the three colour modes through
# the render plug-in, and reads each job back into a listing and a picture;
# then prints the same sample page through the print server kav-printer-app.
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

# The sample page once more, as a PNG document through the print server.
if [ -x "$bin/kav-printer-app" ]; then
  echo "== through kav-printer-app"
  app_dir=$(mktemp -d)
  app_port=$((20000 + RANDOM % 30000))
  mkdir -p "$app_dir/device"
  "$bin/kav-printer-app" server -o state-directory="$app_dir/state" -o server-port="$app_port" \
    -o domain-socket="$app_dir/app.sock" >/dev/null 2>&1 &
  app_pid=$!
  trap 'kill "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null; rm -rf "$app_dir"' EXIT
  for _ in $(seq 50); do
    "$bin/kav-printer-app" printers -u "ipp://localhost:$app_port" >/dev/null 2>&1 && break
    sleep 0.1
  done
  "$bin/kav-printer-app" add -u "ipp://localhost:$app_port" -d sample -m kav_page -v "file://$app_dir/device"
  "$bin/kav-printer-app" submit -u "ipp://localhost:$app_port/ipp/print/sample" -o print-color-mode=color \
    "$out/color.png" >/dev/null
  for _ in $(seq 300); do
    [ -n "$(ls "$app_dir/device")" ] && ! "$bin/kav-printer-app" jobs -u "ipp://localhost:$app_port/ipp/print/sample" |
      grep -qE 'processing|pending' && break
    sleep 0.1
  done
  cp "$app_dir"/device/* "$out/app-color.job"
  "$bin/kavjob" decode "$out/app-color.job" -o "$out/app-color.png"
fi
echo
echo "The rebuilt pages are in $out/: mono.png, gray.png and color.png (and app-color.png,"
echo "the colour page printed again through kav-printer-app); the jobs are the .job files"
echo "beside them, and their listings the .txt files."
