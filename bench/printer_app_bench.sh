#!/bin/bash
# The printer application's speed on this machine, medians of RUNS runs
# (default 3). Figures, not a test: nothing here fails on a slow result.
#
#   bash bench/printer_app_bench.sh [BINARY_DIR] [pages|pdf]
#     BINARY_DIR  default out/build/linux/bin; pages or pdf runs one part only
#
# pages: a 600 dpi A4 page, as JPEG and as PWG raster, in colour, monochrome
#   and bi-level. For each: seconds from submission to the job's end at the
#   device (the last byte written), the share of it spent inside the render
#   plug-in, the share spent writing to the device (the plug-in spools from
#   inside its calls; not counted in its share), pages per minute; and the
#   server's memory when idle.
# pdf: pages 1-10 of a text PDF at 600 dpi A4 (a long manual page, KAV_BENCH_MAN,
#   default bash(1), typeset by groff into PostScript and made PDF by
#   Ghostscript) through the server in bi-level, gray and colour, beside
#   Ghostscript alone on the same pages at the same size: rasterising them as
#   the server has them rasterised (CUPS raster to /dev/null) and driving
#   printers directly (ljet4 for bi-level, pxlmono, pxlcolor), with the
#   ratios against the goals: bi-level at most 2x ljet4; gray and colour at
#   most the plug-in's own time plus 2x pxlmono or pxlcolor.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=${1:-$ROOT/out/build/linux/bin}
PARTS=${2:-pages pdf}
RUNS=${RUNS:-3}
DATA=$ROOT/tests/printer-app/data
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kav-printer-app-bench.XXXXXX")
# shellcheck source=../tests/printer-app/app_test_lib.sh
source "$ROOT/tests/printer-app/app_test_lib.sh"

LOG="$WORK/state/kav-printer-app.log"
A4="iso_a4_210x297mm"

# Seconds since the epoch of a log line's time stamp.
log_time() { date -d "$(sed 's/^. \[\([^]]*\)\].*/\1/' <<<"$1")" +%s.%N; }

# The median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# server_run FILE FORMAT MODE: one job through the server; appends to
# $WORK/runs the seconds from submission to its end, inside the plug-in,
# and writing to the device.
server_run() {
  local lines start end plugin device
  lines=$(wc -l <"$LOG")
  start=$(date +%s.%N)
  print_job p1 "$1" "$2" "$3" 600 "$A4" 1
  expect_completed "$1 $3"
  tail -n +"$((lines + 1))" "$LOG" >"$WORK/job.log"
  end=$(log_time "$(grep -m1 '\] Completed' "$WORK/job.log")")
  plugin=$(sed -n 's/.* pages, \([0-9.]*\) seconds inside the render plug-in.*/\1/p' "$WORK/job.log" | head -1)
  device=$(sed -n 's/.* \([0-9.]*\) seconds writing to the device.*/\1/p' "$WORK/job.log" | head -1)
  awk -v s="$start" -v e="$end" -v p="$plugin" -v d="$device" 'BEGIN { printf "%.3f %s %s\n", e - s, p, d }' \
    >>"$WORK/runs"
}

# server_medians FILE FORMAT MODE: RUNS jobs; sets TOTAL, PLUGIN and DEVICE
# to the medians of what server_run measures.
server_medians() {
  : >"$WORK/runs"
  for _ in $(seq "$RUNS"); do server_run "$@"; done
  TOTAL=$(awk '{ print $1 }' "$WORK/runs" | median)
  PLUGIN=$(awk '{ print $2 }' "$WORK/runs" | median)
  DEVICE=$(awk '{ print $3 }' "$WORK/runs" | median)
}

# gs_seconds NAME DEVICE [options]: sets NAME to the median seconds of
# Ghostscript alone making the text PDF's pages into DEVICE's output, thrown away.
gs_seconds() {
  local name=$1 w h start end
  w=$(pixels 2100 600)
  h=$(pixels 2970 600)
  : >"$WORK/runs"
  for _ in $(seq "$RUNS"); do
    start=$(date +%s.%N)
    gs -q -dSAFER -dBATCH -dNOPAUSE -dNOINTERPOLATE -sDEVICE="$2" "${@:3}" -r600 -g"${w}x${h}" -dFIXEDMEDIA \
      -dPDFFitPage -sOutputFile=/dev/null "$WORK/text.pdf" >>"$WORK/gs.log" 2>&1 || fail "Ghostscript's $2 failed"
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }' >>"$WORK/runs"
  done
  printf -v "$name" '%s' "$(median <"$WORK/runs")"
}

pages_part() {
  echo "idle server: $(ps -o rss= -p "$SERVER_PID" | tr -d ' ') KiB resident"
  render jpeg 600 2100 2970 "$WORK/color.jpg" -dJPEGQ=90
  render jpeggray 600 2100 2970 "$WORK/gray.jpg" -dJPEGQ=90
  render pwgraster 600 2100 2970 "$WORK/color.pwg" -dcupsColorSpace=19 -dcupsBitsPerColor=8
  render pwgraster 600 2100 2970 "$WORK/gray.pwg" -dcupsColorSpace=18 -dcupsBitsPerColor=8
  printf '%-6s %-11s %9s %14s %13s %8s\n' input mode seconds "plug-in share" "device share" ppm
  for input in jpg:image/jpeg pwg:image/pwg-raster; do
    for mode in color monochrome bi-level; do
      local kind=gray
      [ "$mode" = color ] && kind=color
      server_medians "$WORK/$kind.${input%%:*}" "${input#*:}" "$mode"
      awk -v i="${input%%:*}" -v m="$mode" -v t="$TOTAL" -v p="$PLUGIN" -v d="$DEVICE" \
        'BEGIN { printf "%-6s %-11s %9.3f %13.0f%% %12.0f%% %8.1f\n", i, m, t, 100 * p / t, 100 * d / t, 60 / t }'
    done
  done
}

# The text PDF: the manual page typeset for A4, its first ten pages.
make_text_pdf() {
  local man=${KAV_BENCH_MAN:-bash} source
  source=$(man -w "$man" 2>/dev/null) || fail "no manual page $man (KAV_BENCH_MAN names another)"
  zcat -f "$source" | groff -man -Tps -dpaper=a4 -P-pa4 >"$WORK/text.ps" 2>>"$WORK/groff.log" ||
    fail "groff could not typeset $source"
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dFirstPage=1 -dLastPage=10 -sOutputFile="$WORK/text.pdf" \
    "$WORK/text.ps" >>"$WORK/gs.log" 2>&1 || fail "Ghostscript could not make the PDF"
  echo "text PDF: pages 1-10 of $man(1) ($source), $(stat -c %s "$WORK/text.pdf") bytes"
}

pdf_part() {
  make_text_pdf
  local raster_gray raster_color ljet4 pxlmono pxlcolor device gs raster
  gs_seconds raster_gray cups -dcupsColorSpace=18 -dcupsBitsPerColor=8
  gs_seconds raster_color cups -dcupsColorSpace=19 -dcupsBitsPerColor=8
  gs_seconds ljet4 ljet4
  gs_seconds pxlmono pxlmono
  gs_seconds pxlcolor pxlcolor
  printf 'Ghostscript alone, 10 pages: CUPS raster gray %.3f s, colour %.3f s; ljet4 %.3f s, pxlmono %.3f s, pxlcolor %.3f s\n' \
    "$raster_gray" "$raster_color" "$ljet4" "$pxlmono" "$pxlcolor"
  printf '%-10s %8s %8s %10s  %-29s %6s  %s\n' mode seconds plug-in "vs raster" "measured against" ratio "goal <= 2"
  for mode in bi-level monochrome color; do
    server_medians "$WORK/text.pdf" application/pdf "$mode"
    case $mode in
      bi-level) device=ljet4 gs=$ljet4 raster=$raster_gray ;;
      monochrome) device=pxlmono gs=$pxlmono raster=$raster_gray ;;
      color) device=pxlcolor gs=$pxlcolor raster=$raster_color ;;
    esac
    # Bi-level: the server's whole time against ljet4; gray and colour: the
    # server's time beyond the plug-in's against the printer device.
    awk -v m="$mode" -v t="$TOTAL" -v p="$PLUGIN" -v g="$gs" -v r="$raster" -v d="$device" 'BEGIN {
      own = m == "bi-level" ? t : t - p
      against = m == "bi-level" ? "seconds / " d : "(seconds - plug-in) / " d
      printf "%-10s %8.3f %8.3f %9.2fx  %-29s %6.2f  %s\n", m, t, p, t / r, against, own / g,
        own <= 2 * g ? "met" : "not met"
    }'
  done
  echo "(vs raster: the server's seconds over Ghostscript's alone making the pages' raster)"
}

start_server
add_printer p1
sleep 1
for part in $PARTS; do
  case $part in
    pages) pages_part ;;
    pdf) pdf_part ;;
    *) fail "unknown part $part (pages or pdf)" ;;
  esac
done
