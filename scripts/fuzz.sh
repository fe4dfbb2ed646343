#!/usr/bin/env bash
# Builds the fuzzers (preset `fuzz`, clang) and runs each for the given number
# of seconds, one after the other:  scripts/fuzz.sh [<seconds>] [<fuzzer>...]
# Fuzzers: clean_registry print_box registry_path signature_check (default all).
# Each starts from its committed seeds in fuzz/corpus/<fuzzer>; what it finds
# grows in build/fuzz/corpus/<fuzzer>, crashing inputs land in
# build/fuzz/artifacts/<fuzzer>; re-run one with build/fuzz/fuzz/fuzz_<fuzzer> <file>.
# A finding once fixed belongs in fuzz/corpus/<fuzzer>, which CI runs.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
fuzzers=("$@")
[ ${#fuzzers[@]} -gt 0 ] || fuzzers=(clean_registry print_box registry_path signature_check)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
failed=0
for name in "${fuzzers[@]}"; do
    corpus=build/fuzz/corpus/$name
    artifacts=build/fuzz/artifacts/$name
    mkdir -p "$corpus" "$artifacts"
    dict=()
    [ -f fuzz/"$name".dict ] && dict=(-dict=fuzz/"$name".dict)
    echo "== fuzz_$name for ${seconds}s"
    if ! build/fuzz/fuzz/fuzz_"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" ${dict[@]+"${dict[@]}"} "$corpus" \
        fuzz/corpus/"$name" \
        >build/fuzz/fuzz_"$name".log 2>&1; then
        failed=1
        echo "fuzz_$name FAILED: see build/fuzz/fuzz_$name.log and $artifacts"
    fi
    # libFuzzer's last status line: executions, coverage, corpus, speed.
    grep -E '^#[0-9]+.*(DONE|cov:)' build/fuzz/fuzz_"$name".log | tail -n 1 || true
done
exit "$failed"
