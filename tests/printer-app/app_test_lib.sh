# Shared by the printer application's tests and its benchmark: a server on
# loopback with a private state folder, printers with file:// devices, jobs
# sent with ipptool, and the test page rendered by Ghostscript. The caller
# sets BIN (the build's bin folder), DATA (tests/printer-app/data) and WORK
# (a fresh private folder, removed with the server on exit) before sourcing.
SERVER_PID=
PORT=

stop_server() {
  [ -n "$SERVER_PID" ] || return 0
  kill "$SERVER_PID" 2>/dev/null
  # PAPPL may wait for a job it thinks still runs; never longer than 10 s here.
  for _ in $(seq 100); do kill -0 "$SERVER_PID" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$SERVER_PID" 2>/dev/null
  wait "$SERVER_PID" 2>/dev/null
  SERVER_PID=
}
cleanup() {
  stop_server
  [ -n "${KAV_KEEP_TEST_DIR:-}" ] || rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "FAIL: $*"
  if [ -f "$WORK/state/kav-printer-app.log" ]; then
    echo "--- server log (errors):"
    grep '^E' "$WORK/state/kav-printer-app.log" | tail -20
  fi
  exit 1
}

# A server on a free loopback port: a port that is taken makes the server
# exit at once, and the next one is tried. Arguments are more server options.
start_server() {
  for _ in $(seq 20); do
    PORT=$((20000 + RANDOM % 30000))
    "$BIN/kav-printer-app" server -o state-directory="$WORK/state" -o server-port="$PORT" \
      -o domain-socket="$WORK/app.sock" -o log-level="${KAV_TEST_LOG_LEVEL:-info}" "$@" >"$WORK/server.out" 2>&1 &
    SERVER_PID=$!
    for _ in $(seq 100); do
      kill -0 "$SERVER_PID" 2>/dev/null || break
      if "$BIN/kav-printer-app" printers -u "ipp://localhost:$PORT" >/dev/null 2>&1; then return 0; fi
      sleep 0.1
    done
    stop_server
  done
  cat "$WORK/server.out"
  fail "the server did not start"
}

# A loopback port nothing listens on now.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# The server's domain socket as the host of an ipp:// URI.
socket_uri() { echo "ipp://$(echo "$WORK/app.sock" | sed 's|/|%2F|g')"; }

# Printers are added over loopback, or through the domain socket where
# ADMIN_URI says so (a server that wants a login over TCP).
add_printer() {
  mkdir -p "$WORK/out-$1"
  "$BIN/kav-printer-app" add -u "${ADMIN_URI:-ipp://localhost:$PORT}" -d "$1" -m kav_page -v "file://$WORK/out-$1" ||
    fail "cannot add printer $1"
}

# print_job PRINTER FILE FORMAT MODE DPI MEDIA COPIES [SCALING]: sends the job
# (print-scaling SCALING, by default none) and waits for it to end; leaves
# ipptool's report in $WORK/ipptool.out.
print_job() {
  rm -f "$WORK/out-$1"/*
  ipptool -T 60 -t -f "$2" -d format="$3" -d mode="$4" -d dpi="${5}dpi" -d media="$6" -d copies="$7" \
    -d scaling="${8:-none}" "ipp://localhost:$PORT/ipp/print/$1" "$DATA/print-job.test" >"$WORK/ipptool.out" 2>&1
}

job_state() { sed -n 's/.*job-state (enum) = \([a-z-]*\).*/\1/p' "$WORK/ipptool.out" | tail -1; }
job_message() { sed -n 's/.*job-state-message (textWithoutLanguage) = //p' "$WORK/ipptool.out" | tail -1; }

expect_completed() {
  [ "$(job_state)" = completed ] || { cat "$WORK/ipptool.out"; fail "$1: job did not complete"; }
}

# The one file the printer's device received.
device_file() {
  local files=("$WORK/out-$1"/*)
  [ ${#files[@]} -eq 1 ] && [ -f "${files[0]}" ] || fail "expected one device file for $1, found: ${files[*]}"
  echo "${files[0]}"
}

# Sheet pixels as the render plug-in counts them (tenths of a millimetre).
pixels() { echo $((($1 * $2 * 10 + 5) / 2540)); }
points() { awk -v p="$1" -v d="$2" 'BEGIN { printf "%.4f", p * 72 / d }'; }

# render DEVICE DPI WIDTH_TENTHS LENGTH_TENTHS OUTPUT [extra gs options]: the
# test page on the sheet at that resolution.
render() {
  local device=$1 dpi=$2 w h
  w=$(pixels "$3" "$dpi")
  h=$(pixels "$4" "$dpi")
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE="$device" -r"$dpi" -g"${w}x${h}" \
    -dSheetW="$(points "$w" "$dpi")" -dSheetH="$(points "$h" "$dpi")" "${@:6}" -sOutputFile="$5" "$DATA/page.ps" \
    >>"$WORK/gs.log" 2>&1 || fail "Ghostscript could not render with $device"
}

# render_pdf DEVICE DPI OUTPUT [extra gs options]: the A5 PDF fitted to the sheet.
render_pdf() {
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE="$1" -r"$2" -g"$(pixels 1480 "$2")x$(pixels 2100 "$2")" -dFIXEDMEDIA \
    -dPDFFitPage "${@:4}" -sOutputFile="$3" "$WORK/page.pdf" >>"$WORK/gs.log" 2>&1 ||
    fail "Ghostscript could not render the PDF with $1"
}

# check_job PRINTER LABEL MODE DPI PAPER REFERENCE [page_check options]
check_job() {
  local job
  job=$(device_file "$1")
  "$BIN/kavjob" decode "$job" -o "$WORK/decoded.png" >/dev/null || fail "$2: kavjob cannot decode the job"
  "$BIN/page_check" "$WORK/decoded.png" "$6" --mode "$3" --dpi "$4" --paper "$5" "${@:7}" ||
    fail "$2: the decoded page does not match"
  echo "ok: $2"
}
