#!/usr/bin/env bash
# Installs with apt-get whatever of the build and test tools is missing, and
# says which packages: CMake and Ninja, g++ and GoogleTest, mingw-w64 for both
# Windows targets, Wine with its 64-bit and 32-bit halves (32-bit Wine runs the
# product), clang with libFuzzer and the 32-bit libraries of clang -m32,
# python3, tmux, ps and git, the release signing tools; makes i386 programs
# run where the kernel refuses them (user-mode emulation); then generates the
# glibc locales whose code pages the Wine tests use. Does nothing when all are
# there.
#   scripts/install_tools.sh --packages   prints the packages, one a line
#   scripts/install_tools.sh --locales    prints the locales, one a line
# A mirror caught mid-sync is survived: a failed `apt-get update` is reported
# and the install goes on from the package lists there are; a failed install
# is tried once more preferring the system's own release (`-t <codename>`,
# from os-release). Whether every package is installed decides the exit code.
# INSTALL_TOOLS_ETC names another folder than /etc for os-release and locale.gen;
# I386_CHECK_BINFMT and I386_CHECK_PROGRAM, see scripts/i386_check.sh.
set -eu
PACKAGES=(
    cmake ninja-build g++ python3 python3-minimal tmux procps git
    googletest libgtest-dev libgmock-dev
    gcc-mingw-w64-i686-win32 g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-i686-dev
    gcc-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev
    # wine gives wine, wineserver, wineboot and winepath; wine64 and wine32 the loaders.
    # Without the preloader 32-bit Wine under emulation takes 52 s to start, not 0.4 s.
    wine wine64 wine32:i386 wine32-preloader:i386
    # libclang-rt-14-dev holds the sanitizers and libFuzzer for x86_64 and i386.
    clang libclang-rt-14-dev
    # Releases: Authenticode signing, and throw-away keys for its tests, also
    # on a PKCS#11 token (SoftHSM, OpenSSL's PKCS#11 engine, pkcs11-tool).
    osslsigncode openssl softhsm2 libsofthsm2 libengine-pkcs11-openssl opensc
    # clang -m32: 32-bit glibc and libstdc++, and gcc-multilib's <asm/...> link.
    libc6-dev-i386 lib32stdc++-12-dev gcc-multilib
    # The ANSI code page under Wine follows the locale: 932, 936 and 1251.
    locales
    # Mounts binfmt_misc where i386 code needs an emulator.
    mount
)
LOCALES=(ja_JP.UTF-8 zh_CN.UTF-8 ru_RU.UTF-8)
case "${1:-}" in
    --packages) printf '%s\n' "${PACKAGES[@]}"; exit 0 ;;
    --locales) printf '%s\n' "${LOCALES[@]}"; exit 0 ;;
esac
etc=${INSTALL_TOOLS_ETC:-/etc}
binfmt=${I386_CHECK_BINFMT:-/proc/sys/fs/binfmt_misc}
here=$(dirname "$0")
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)

installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]; }

# `locale -a` spells ja_JP.UTF-8 as ja_JP.utf8.
has_locale() { locale -a 2>/dev/null | grep -qix "${1%%.*}\.utf-\{0,1\}8"; }

# Prints, one a line, the arguments after the first that the check (the
# first, a function) fails for.
failing() {
    local check=$1 item
    shift
    for item; do "$check" "$item" || printf '%s\n' "$item"; done
}

# Never removes a package to make room: with -y apt-get would.
apt_install() {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        --no-remove "$@" >/dev/null
}

# The release's code name (bookworm), or nothing.
release_codename() {
    [ -r "$etc/os-release" ] || return 0
    sed -n 's/^VERSION_CODENAME=["'\'']\{0,1\}\([a-z0-9-]*\)["'\'']\{0,1\}$/\1/p' "$etc/os-release" |
        head -n 1
}

updated=0
# Installs those of the given packages that are missing.
install_packages() {
    local missing still
    mapfile -t missing < <(failing installed "$@")
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "Installing the missing build and test tools: ${missing[*]}"
    if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding the i386 architecture for 32-bit Wine"
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    # One index caught mid-sync fails the update; the lists there are may do.
    if [ $updated = 0 ]; then
        updated=1
        "${sudo[@]}" apt-get update -qq ||
            echo "install_tools: apt-get update failed; installing from the package lists there are"
    fi
    if ! apt_install "${missing[@]}"; then
        # Libraries updated from a suite whose other-architecture index is
        # missing cannot pair with their i386 halves; the base suite's can.
        local codename
        codename=$(release_codename)
        if [ -n "$codename" ]; then
            echo "install_tools: the install failed; trying once more preferring $codename (-t $codename)"
            apt_install -t "$codename" "${missing[@]}" || true
        fi
    fi
    mapfile -t still < <(failing installed "${missing[@]}")
    if [ ${#still[@]} -gt 0 ]; then
        echo "install_tools: still not installed: ${still[*]}" >&2
        return 1
    fi
}

generate_locales() {
    local name missing still
    mapfile -t missing < <(failing has_locale "${LOCALES[@]}")
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "Generating the locales: ${missing[*]}"
    for name in "${missing[@]}"; do
        # Uncomments the locale's line in locale.gen, or adds one.
        if grep -qx "# *$name UTF-8" "$etc/locale.gen" 2>/dev/null; then
            "${sudo[@]}" sed -i "s/^# *$name UTF-8\$/$name UTF-8/" "$etc/locale.gen"
        elif ! grep -qx "$name UTF-8" "$etc/locale.gen" 2>/dev/null; then
            echo "$name UTF-8" | "${sudo[@]}" tee -a "$etc/locale.gen" >/dev/null
        fi
    done
    "${sudo[@]}" locale-gen >/dev/null
    mapfile -t still < <(failing has_locale "${missing[@]}")
    if [ ${#still[@]} -gt 0 ]; then
        echo "install_tools: still no locale ${still[*]}" >&2
        return 1
    fi
}

# i386 ELF executables (ET_EXEC and ET_DYN) to the emulator. F: the kernel opens
# the emulator now, so that chroots and containers find it too.
I386_REGISTRATION=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'

# Mounts binfmt_misc if need be and registers the emulator for i386 programs;
# what fails here shows in the check that follows.
register_emulator() {
    [ -e "$binfmt/register" ] || "${sudo[@]}" mount -t binfmt_misc binfmt_misc "$binfmt"
    # One of that name that does not work (disabled, say) would block ours.
    [ ! -e "$binfmt/qemu-i386" ] || echo -1 | "${sudo[@]}" tee "$binfmt/qemu-i386" >/dev/null
    printf '%s' "$I386_REGISTRATION" | "${sudo[@]}" tee "$binfmt/register" >/dev/null
}

# Where the kernel refuses i386 programs (32-bit Wine, the i386 fuzzers), runs
# them under user-mode emulation. A registration that works is left alone.
run_i386_programs() {
    local check
    check=$("$here"/i386_check.sh) && return 0
    echo "install_tools: $check; installing qemu-user-static, mounting binfmt_misc and registering the emulator for i386 executables"
    install_packages qemu-user-static
    register_emulator || true
    check=$("$here"/i386_check.sh) && return 0
    echo "install_tools: i386 programs still do not run with the emulator registered: $check" >&2
    return 1
}

install_packages "${PACKAGES[@]}"
run_i386_programs
generate_locales
