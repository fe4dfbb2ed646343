#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test tools is missing:
# CMake and Ninja, the native compiler and GoogleTest, mingw-w64 for both
# Windows targets, wine64 (no 32-bit Wine), python3 and tmux for the tests.
set -eu
missing=()
need() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
need cmake cmake
need ninja ninja-build
need g++ g++
need i686-w64-mingw32-g++ mingw-w64
need x86_64-w64-mingw32-g++ mingw-w64
need wine wine64
need wineserver wine64
need python3 python3
need tmux tmux
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        $(printf '%s\n' "${missing[@]}" | sort -u) >/dev/null
fi
