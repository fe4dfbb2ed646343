#!/usr/bin/env bash
# Builds the committed source twice, in two fresh clones at different paths,
# and fails unless both give byte-identical win32 and win64 exes. Only the
# two programs are built (no tests), so it stays quick. Uncommitted changes
# are not part of what it checks.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/tmp}/fix_tamrix_repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

clones=("$work/a/fix_tamrix" "$work/second_clone/at/a/deeper/path/src")
for clone in "${clones[@]}"; do
    git clone --quiet --no-hardlinks "$root" "$clone"
    git -C "$clone" checkout --quiet --detach "$commit"
    for preset in win32 win64; do
        (cd "$clone" && cmake --preset "$preset" -DFIX_TAMRIX_TESTS=OFF >/dev/null &&
            cmake --build --preset "$preset" --target fix_tamrix -j2 >/dev/null)
    done
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
exit $status
