#!/bin/bash
# The printer application's speed on this machine: a 600 dpi A4 page, as JPEG
# and as PWG raster, in colour, monochrome and bi-level. For each: seconds
# from submission to the job's end at the device (the last byte written),
# the share of it spent inside the render plug-in, the share spent writing
# to the device (the plug-in spools from inside its calls; not counted in
# its share), pages per minute; and
# the server's memory when idle. Figures, not a test.
#
#   bash bench/printer_app_bench.sh [BINARY_DIR]   (default out/build/linux/bin)
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=${1:-$ROOT/out/build/linux/bin}
DATA=$ROOT/printer-app/tests/data
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kav-printer-app-bench.XXXXXX")
# shellcheck source=../printer-app/tests/app_test_lib.sh
source "$ROOT/printer-app/tests/app_test_lib.sh"

LOG="$WORK/state/kav-printer-app.log"

# Seconds since the epoch of a log line's time stamp.
log_time() { date -d "$(sed 's/^. \[\([^]]*\)\].*/\1/' <<<"$1")" +%s.%N; }

start_server
add_printer p1
sleep 1
echo "idle server: $(ps -o rss= -p "$SERVER_PID" | tr -d ' ') KiB resident"
render jpeg 600 2100 2970 "$WORK/color.jpg" -dJPEGQ=90
render jpeggray 600 2100 2970 "$WORK/gray.jpg" -dJPEGQ=90
render pwgraster 600 2100 2970 "$WORK/color.pwg" -dcupsColorSpace=19 -dcupsBitsPerColor=8
render pwgraster 600 2100 2970 "$WORK/gray.pwg" -dcupsColorSpace=18 -dcupsBitsPerColor=8
printf '%-6s %-11s %9s %14s %13s %8s\n' input mode seconds "plug-in share" "device share" ppm
for input in jpg:image/jpeg pwg:image/pwg-raster; do
  for mode in color monochrome bi-level; do
    kind=gray
    [ "$mode" = color ] && kind=color
    lines=$(wc -l <"$LOG")
    start=$(date +%s.%N)
    print_job p1 "$WORK/$kind.${input%%:*}" "${input#*:}" "$mode" 600 iso_a4_210x297mm 1
    expect_completed "$input $mode"
    tail -n +"$((lines + 1))" "$LOG" >"$WORK/job.log"
    end=$(log_time "$(grep -m1 '\] Completed' "$WORK/job.log")")
    plugin=$(sed -n 's/.* pages, \([0-9.]*\) seconds inside the render plug-in.*/\1/p' "$WORK/job.log" | head -1)
    device=$(sed -n 's/.* \([0-9.]*\) seconds writing to the device.*/\1/p' "$WORK/job.log" | head -1)
    awk -v i="${input%%:*}" -v m="$mode" -v s="$start" -v e="$end" -v p="$plugin" -v d="$device" \
      'BEGIN { t = e - s; printf "%-6s %-11s %9.3f %13.0f%% %12.0f%% %8.1f\n", i, m, t, 100 * p / t, 100 * d / t, 60 / t }'
  done
done
