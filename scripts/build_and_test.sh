#!/usr/bin/env bash
# Builds all targets (native, native-asan, win32, win64, and the fuzzers as
# x86_64 and as i386 code) and runs every test with one CTest run over all six
# build folders; each fuzzer runs there over its committed corpus only, in both
# builds (open-ended fuzzing: scripts/fuzz.sh).
set -eu
cd "$(dirname "$0")/.."
scripts/install_tools.sh
for preset in native native-asan win32 win64 fuzz fuzz32; do
    echo "== building $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
# Two clean builds of the committed source in fresh clones give the same exes.
scripts/check_reproducible.sh
# One CTest tree over the six builds, so that one summary line ends the run.
cat > build/CTestTestfile.cmake <<'CTEST'
subdirs("native" "native-asan" "win32" "win64" "fuzz" "fuzz32")
CTEST
cd build
exec ctest --output-on-failure -j2 "$@"
