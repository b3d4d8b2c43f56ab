# Sourced: a private Wine prefix with its server started before any other
# Wine process, so tests neither wait for Wine's helpers nor hang ctest.
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$PWD/out/wine-prefix}"
# No desktop process: loading the spooler's library asks for one, and on a
# machine without a display it waits ten seconds for a service that never starts.
export WINEDLLOVERRIDES="mscoree,mshtml=;explorer.exe=d"
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
