#!/usr/bin/env bash
# Runs a fuzzer once over each input of a corpus folder, nothing generated:
#   fuzz/replay_corpus.sh [--i386] <sanitizers> <fuzzer> <corpus folder> [<libFuzzer option>...]
# The inputs go to libFuzzer by name: 32-bit code listing a folder can see no
# entries at all (glibc's 32-bit readdir on 64-bit directory offsets), and
# libFuzzer then replays nothing and passes. So the replay passes only when
# libFuzzer says it executed every file of the folder, and the folder has one.
# It names the sanitizers the fuzzer runs with, and with --i386 how the i386
# code ran (scripts/i386_check.sh). Under user-mode emulation LeakSanitizer is
# left out: it stops the threads with ptrace, which the emulator lacks, so its
# check at exit never ends; AddressSanitizer and UBSan work there.
set -u
here=$(dirname "$0")
i386=0
if [ "${1:-}" = --i386 ]; then
    i386=1
    shift
fi
if [ $# -lt 3 ]; then
    echo "usage: $0 [--i386] <sanitizers> <fuzzer> <corpus folder> [<libFuzzer option>...]" >&2
    exit 2
fi
sanitizers=$1 fuzzer=$2 corpus=$3
shift 3

leaks=
if [ $i386 = 1 ]; then
    line=$(ASAN_OPTIONS=detect_leaks=0 "$here"/../scripts/i386_check.sh "$fuzzer" -help=1)
    echo "$line"
    if [[ $line == *"under emulation"* ]]; then
        export ASAN_OPTIONS=detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}
        leaks=", LeakSanitizer off"
    fi
fi
echo "replay_corpus: ${fuzzer##*/} runs with -fsanitize=$sanitizers$leaks"
shopt -s nullglob dotglob
inputs=("$corpus"/*)
if [ ${#inputs[@]} -eq 0 ]; then
    echo "replay_corpus: no inputs in $corpus (empty, missing or unreadable)"
    exit 1
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# -runs=0: with no input at all libFuzzer would fuzz on, not stop.
"$fuzzer" -runs=0 "$@" "${inputs[@]}" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
executed=$(grep -c '^Executed ' "$log")
if [ "$status" != 0 ] || [ "$executed" != ${#inputs[@]} ]; then
    echo "replay_corpus: libFuzzer executed $executed of the ${#inputs[@]} inputs in $corpus (exit code $status)"
    exit 1
fi
echo "replay_corpus: executed all ${#inputs[@]} inputs in $corpus"
