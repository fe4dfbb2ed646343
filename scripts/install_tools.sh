#!/usr/bin/env bash
# Installs with apt-get whatever of the build and test tools is missing, and
# says which packages: CMake and Ninja, g++ and GoogleTest, mingw-w64 for both
# Windows targets, Wine with its 64-bit and 32-bit halves (32-bit Wine runs the
# product), clang with libFuzzer, python3, tmux, ps and git. Does nothing
# when all are there.  scripts/install_tools.sh --packages  prints the
# packages it stands for, one a line.
set -eu
PACKAGES=(
    cmake ninja-build g++ python3 python3-minimal tmux procps git
    googletest libgtest-dev libgmock-dev
    gcc-mingw-w64-i686-win32 g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-i686-dev
    gcc-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev
    # wine gives wine, wineserver, wineboot and winepath; wine64 and wine32 the loaders.
    wine wine64 wine32:i386
    clang libclang-rt-14-dev
    # Releases: Authenticode signing, and throw-away keys for its tests, also
    # on a PKCS#11 token (SoftHSM, OpenSSL's PKCS#11 engine, pkcs11-tool).
    osslsigncode openssl softhsm2 libsofthsm2 libengine-pkcs11-openssl opensc
)
if [ "${1:-}" = --packages ]; then
    printf '%s\n' "${PACKAGES[@]}"
    exit 0
fi

installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]; }
missing=()
for package in "${PACKAGES[@]}"; do
    installed "$package" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing the missing build and test tools: ${missing[*]}"
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture for 32-bit Wine"
    "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
for package in "${missing[@]}"; do
    installed "$package" || { echo "install_tools: $package is still not installed" >&2; exit 1; }
done
