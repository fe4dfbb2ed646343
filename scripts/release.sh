#!/usr/bin/env bash
# Makes a release of the committed tree (HEAD) in build/release/, and nothing
# else there: builds the win32 exe in a temporary copy of the commit, signs
# it when a key is given (scripts/sign_exe.sh names the variables; without
# one the release is unsigned), and writes
#   fix_tamrix-<version>-win32.zip  the folder fix_tamrix-<version>/ with
#                                   fix_tamrix.exe, README.TXT, SHA256.TXT
#   fix_tamrix.exe                  the same exe, for systems without unzip
#   SHA256SUMS                      the zip's and the exe's SHA-256
# <version> is the project version of CMakeLists.txt. Every time stamp is
# the commit's, so one commit gives the same bytes again, signed or not.
# Refuses a tree with uncommitted changes, which would not be in it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "release: $*" >&2; exit 1; }
# What the loader tests hold too: the 32 KiB product, 4 KiB for a signature.
UNSIGNED_LIMIT=32768
SIGNED_LIMIT=36864

changes=$(git -C "$root" status --porcelain)
if [ -n "$changes" ]; then
    printf '%s\n' "$changes" >&2
    fail "the tree has uncommitted changes (above); commit them first"
fi
commit=$(git -C "$root" rev-parse HEAD)
epoch=$(git -C "$root" show -s --format=%ct "$commit")
signed=
if [ -n "${FIX_TAMRIX_SIGN_P12:-}${FIX_TAMRIX_SIGN_PKCS11:-}" ]; then
    signed=yes
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/fix_tamrix_release.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/source" "$work/stage"
git -C "$root" archive "$commit" | tar -x -C "$work/source"
if ! (cd "$work/source" && cmake --preset win32 -DFIX_TAMRIX_TESTS=OFF &&
        cmake --build --preset win32 --target fix_tamrix -j2) >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    fail "building the win32 exe of $commit failed"
fi
built=$work/source/build/win32/fix_tamrix.exe
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/source/build/win32/CMakeCache.txt")
[[ $version =~ ^[0-9]+(\.[0-9]+){0,3}$ ]] || fail "no project version in the build ('$version')"
[ "$(stat -c %s "$built")" -le $UNSIGNED_LIMIT ] || fail "the exe is larger than $UNSIGNED_LIMIT bytes"

exe=$work/stage/fix_tamrix.exe
if [ -n "$signed" ]; then
    "$root/scripts/sign_exe.sh" "$built" "$exe" "$epoch"
    [ "$(stat -c %s "$exe")" -le $SIGNED_LIMIT ] ||
        fail "the signed exe is larger than $SIGNED_LIMIT bytes"
else
    echo "release: no signing key given (FIX_TAMRIX_SIGN_P12 or FIX_TAMRIX_SIGN_PKCS11): the release is unsigned"
    cp "$built" "$exe"
fi
cp "$work/source/docs/README.TXT" "$work/stage/README.TXT"
(cd "$work/stage" && sha256sum fix_tamrix.exe README.TXT | sed 's/$/\r/' > SHA256.TXT)

name=fix_tamrix-$version
out=$root/build/release
rm -rf "$out"
mkdir -p "$out"
python3 "$root/scripts/release_zip.py" "$out/$name-win32.zip" "$name" "$epoch" \
    "$exe" "$work/stage/README.TXT" "$work/stage/SHA256.TXT"
cp "$exe" "$out/fix_tamrix.exe"
(cd "$out" && sha256sum "$name-win32.zip" fix_tamrix.exe > SHA256SUMS)
chmod 644 "$out"/*

# What was released is what was built: the exe less any signature, in the
# zip and beside it.
python3 - "$out/$name-win32.zip" "$name/fix_tamrix.exe" "$work/zipped.exe" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive, open(sys.argv[3], "wb") as f:
    f.write(archive.read(sys.argv[2]))
PY
cmp -s "$work/zipped.exe" "$out/fix_tamrix.exe" || fail "the zip's exe is not the one beside it"
if [ -n "$signed" ]; then
    osslsigncode remove-signature -in "$out/fix_tamrix.exe" -out "$work/unsigned.exe" >/dev/null
    cmp -s "$work/unsigned.exe" "$built" || fail "the released exe, less its signature, is not the build"
else
    cmp -s "$out/fix_tamrix.exe" "$built" || fail "the released exe is not the build"
fi
echo "release: $name of $commit${signed:+, signed}, in $out:"
(cd "$out" && cat SHA256SUMS)
