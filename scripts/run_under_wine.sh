#!/usr/bin/env bash
# Builds the Windows program (the product: preset win32, 32-bit) and runs the
# cleaner under 32-bit Wine in a sandbox prefix (build/wine-sandbox unless
# WINEPREFIX names another), so that nothing outside it is touched.
# Arguments are passed to the program.
set -eu
cd "$(dirname "$0")/.."
scripts/install_tools.sh
mkdir -p build
build_log=build/run_under_wine.log
if ! { cmake --preset win32 && cmake --build --preset win32 --target fix_tamrix; } \
        >"$build_log" 2>&1; then
    cat "$build_log" >&2
    echo "run_under_wine: building the Windows program failed (output above and in $build_log)" >&2
    exit 1
fi
exe=build/win32/fix_tamrix.exe

export WINEPREFIX="${WINEPREFIX:-$PWD/build/wine-sandbox}" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
windows=$WINEPREFIX/drive_c/windows
if [ ! -d "$windows/system32" ]; then
    echo "Creating the sandbox Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
elif [ ! -f "$windows/syswow64/kernel32.dll" ]; then
    # Made before 32-bit Wine was installed: 32-bit programs cannot start in it
    # ("could not load kernel32.dll"). An update adds the missing half and
    # keeps everything else.
    echo "The Wine prefix $WINEPREFIX has no 32-bit half (made without 32-bit Wine): rebuilding it"
    rm -f "$WINEPREFIX/.update-timestamp"
    wineboot -u >/dev/null 2>&1 || true
fi
wineserver -w 2>/dev/null || true
if [ ! -f "$windows/syswow64/kernel32.dll" ]; then
    echo "run_under_wine: the Wine prefix $WINEPREFIX has no 32-bit half; is wine32:i386 installed?" >&2
    exit 1
fi
status=0
wine "$exe" "$@" || status=$?
wineserver -w 2>/dev/null || true
echo "fix_tamrix exited with $status; log: build/win32/fix_tamrix.log"
exit $status
