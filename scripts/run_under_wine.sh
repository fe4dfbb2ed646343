#!/usr/bin/env bash
# Builds the x86_64 Windows program and runs the cleaner under wine64 in a
# sandbox prefix (build/wine-sandbox unless WINEPREFIX names another), so that
# nothing outside it is touched. Arguments are passed to the program.
set -eu
cd "$(dirname "$0")/.."
scripts/install_tools.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 >/dev/null
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wine-sandbox}" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
    echo "Creating the sandbox Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
fi
status=0
wine build/win64/fix_tamrix.exe "$@" || status=$?
wineserver -w 2>/dev/null || true
echo "fix_tamrix exited with $status; log: build/win64/fix_tamrix.log"
exit $status
