#!/usr/bin/env bash
# Builds the fuzzers (preset `fuzz`, clang) and runs each for the given number
# of seconds, one after the other:  scripts/fuzz.sh [--i386] [<seconds>] [<fuzzer>...]
# Fuzzers: clean_registry print_box registry_path registry_text signature_check
# (default all). --i386 builds and runs them as i386 code instead (preset
# `fuzz32`, clang -m32), where size_t, long and pointers have the sizes of the
# shipped 32-bit program; FIX_TAMRIX_FUZZ_PRESET=fuzz32 does the same.
# Each starts from its committed seeds in fuzz/corpus/<fuzzer>; what it finds
# grows in build/<preset>/corpus/<fuzzer>, crashing inputs land in
# build/<preset>/artifacts/<fuzzer>; re-run one with
# build/<preset>/fuzz/fuzz_<fuzzer> <file>.
# A finding once fixed belongs in fuzz/corpus/<fuzzer>, which CI runs.
set -eu
cd "$(dirname "$0")/.."
preset=${FIX_TAMRIX_FUZZ_PRESET:-fuzz}
if [ "${1:-}" = --i386 ]; then
    preset=fuzz32
    shift
fi
case $preset in
    fuzz|fuzz32) ;;
    *) echo "fuzz.sh: no fuzzer preset $preset (fuzz or fuzz32)" >&2; exit 2 ;;
esac
seconds=${1:-60}
[ $# -gt 0 ] && shift
fuzzers=("$@")
[ ${#fuzzers[@]} -gt 0 ] || fuzzers=(clean_registry print_box registry_path registry_text signature_check)

build=build/$preset
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
if [ "$preset" = fuzz32 ]; then
    # Under user-mode emulation LeakSanitizer never ends (fuzz/replay_corpus.sh).
    line=$(ASAN_OPTIONS=detect_leaks=0 scripts/i386_check.sh "$build"/fuzz/fuzz_"${fuzzers[0]}" -help=1)
    echo "$line"
    [[ $line != *"under emulation"* ]] || export ASAN_OPTIONS=detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}
fi
failed=0
for name in "${fuzzers[@]}"; do
    corpus=$build/corpus/$name
    artifacts=$build/artifacts/$name
    log=$build/fuzz_$name.log
    mkdir -p "$corpus" "$artifacts"
    dict=()
    [ -f fuzz/"$name".dict ] && dict=(-dict=fuzz/"$name".dict)
    # The seeds and what earlier runs found, by name: i386 code listing a
    # folder can see no entries (fuzz/replay_corpus.sh). New finds go to $corpus.
    seeds=$build/fuzz_$name.seeds
    shopt -s nullglob
    (IFS=,; files=("$corpus"/* fuzz/corpus/"$name"/*); echo "${files[*]}") >"$seeds"
    shopt -u nullglob
    echo "== fuzz_$name ($preset) for ${seconds}s"
    if ! "$build"/fuzz/fuzz_"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" ${dict[@]+"${dict[@]}"} \
        -seed_inputs=@"$seeds" "$corpus" >"$log" 2>&1; then
        failed=1
        echo "fuzz_$name FAILED: see $log and $artifacts"
    fi
    # libFuzzer's last status line: executions, coverage, corpus, speed.
    grep -E '^#[0-9]+.*(DONE|cov:)' "$log" | tail -n 1 || true
done
exit "$failed"
