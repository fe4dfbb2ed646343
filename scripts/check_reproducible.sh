#!/usr/bin/env bash
# Builds the committed source twice, in two fresh clones at different paths,
# and fails unless both give byte-identical win32 and win64 exes, and the
# same release (scripts/release.sh), unsigned and signed with one throw-away
# key; the two clones work under different time zones and umasks. Only the
# two programs are built (no tests), so it stays quick. Uncommitted changes
# are not part of what it checks.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/tmp}/fix_tamrix_repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

clones=("$work/a/fix_tamrix" "$work/second_clone/at/a/deeper/path/src")
# A time zone far from UTC (POSIX form, which needs no time-zone data) and
# a stricter umask for the second clone.
zones=(UTC FAR-14)
umasks=(022 077)
"$root/tests/support/make_signing_key.sh" "$work/key"
for i in 0 1; do
    clone=${clones[$i]}
    (
        umask "${umasks[$i]}"
        export TZ=${zones[$i]}
        git clone --quiet --no-hardlinks "$root" "$clone"
        git -C "$clone" checkout --quiet --detach "$commit"
        cd "$clone"
        for preset in win32 win64; do
            cmake --preset "$preset" -DFIX_TAMRIX_TESTS=OFF >/dev/null &&
                cmake --build --preset "$preset" --target fix_tamrix -j2 >/dev/null
        done
        scripts/release.sh >/dev/null
        mv build/release build/release-unsigned
        FIX_TAMRIX_SIGN_P12=$work/key/key.p12 FIX_TAMRIX_SIGN_PASS_FILE=$work/key/pass.txt \
            scripts/release.sh >/dev/null
        mv build/release build/release-signed
    )
done

status=0
for preset in win32 win64; do
    first=${clones[0]}/build/$preset/fix_tamrix.exe
    second=${clones[1]}/build/$preset/fix_tamrix.exe
    if cmp -s "$first" "$second"; then
        echo "reproducible: $preset $(sha256sum < "$first" | cut -c1-64) ($(stat -c %s "$first") bytes)"
    else
        echo "NOT reproducible: $preset exes of $commit differ:" >&2
        cmp -l "$first" "$second" | head -5 >&2 || true
        status=1
    fi
done
for kind in unsigned signed; do
    first=${clones[0]}/build/release-$kind
    second=${clones[1]}/build/release-$kind
    if diff -r "$first" "$second" >/dev/null; then
        echo "reproducible: $kind release, SHA256SUMS $(sha256sum < "$first/SHA256SUMS" | cut -c1-64)"
        sed 's/^/    /' "$first/SHA256SUMS"
    else
        echo "NOT reproducible: the $kind releases of $commit differ:" >&2
        diff "$first/SHA256SUMS" "$second/SHA256SUMS" >&2 || true
        status=1
    fi
done
exit $status
