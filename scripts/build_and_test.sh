#!/usr/bin/env bash
# Builds all targets (native, native-asan, win32, win64, and the fuzzers) and
# runs every test with one CTest run over all five build folders; each fuzzer
# runs there over its committed corpus only (open-ended fuzzing: scripts/fuzz.sh).
set -eu
cd "$(dirname "$0")/.."
scripts/install_tools.sh
for preset in native native-asan win32 win64 fuzz; do
    echo "== building $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
# Two clean builds of the committed source in fresh clones give the same exes.
scripts/check_reproducible.sh
# One CTest tree over the five builds, so that one summary line ends the run.
cat > build/CTestTestfile.cmake <<'CTEST'
subdirs("native" "native-asan" "win32" "win64" "fuzz")
CTEST
cd build
exec ctest --output-on-failure -j2 "$@"
