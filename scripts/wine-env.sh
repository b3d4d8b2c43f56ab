# Sourced: a private Wine prefix with its server started before any other
# Wine process, so tests neither wait for Wine's helpers nor hang ctest.
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$PWD/out/wine-prefix}"
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
