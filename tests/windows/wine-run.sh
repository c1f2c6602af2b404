#!/bin/sh
# Runs a 64-bit Windows program under Wine, headless: wine-run.sh PROGRAM.exe [ARGS...]
# The Wine prefix is the folder KV_WINEPREFIX (the build directory's wineprefix/); the
# folders in KV_WINEPATH are on the DLL search path. Wine's own messages are off, and so
# are the downloads it would offer for .NET and HTML support.
set -e
: "${KV_WINEPREFIX:?set KV_WINEPREFIX to the Wine prefix folder}"
WINE=${KV_WINE:-/usr/lib/wine/wine64}
[ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine)
export WINEPREFIX="$KV_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPATH="${KV_WINEPATH:-}"
# The same regional settings wherever it runs: English (United States), code page 1252.
export LC_ALL=C.UTF-8
export DISPLAY=
export WAYLAND_DISPLAY=
mkdir -p "$WINEPREFIX"
exec "$WINE" "$@"
