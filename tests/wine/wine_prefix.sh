#!/usr/bin/env bash
# setup DIR: create a fresh Wine prefix in DIR; cleanup DIR: stop its
# wineserver and remove it. Used as the fixture of the Wine tests.
set -eu
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$action" in
    setup)
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        # A wineserver that stays alive between the tests' many short Wine
        # runs (each would otherwise start its own); cleanup stops it.
        wineserver -p >/dev/null 2>&1
        wineboot -i >/dev/null 2>&1 || true
        # Both halves: 64-bit Wine's system32, 32-bit Wine's syswow64.
        for dll in system32/kernel32.dll syswow64/kernel32.dll; do
            if [ ! -f "$WINEPREFIX/drive_c/windows/$dll" ]; then
                echo "the new Wine prefix has no $dll (is wine32:i386 installed?)" >&2
                exit 1
            fi
        done
        ;;
    cleanup)
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
        ;;
    *)
        echo "usage: $0 setup|cleanup DIR" >&2
        exit 2
        ;;
esac
