#!/bin/bash
# Runs every fuzz target for a longer time than the test command does:
#
#   scripts/fuzz.sh [SECONDS]     (each target; 600 when not given)
#
# Builds the "fuzz" preset (clang, libFuzzer, ASan and UBSan) and runs the
# targets two at a time through CTest, each over a fresh copy of its
# seed corpus. An input that breaks a property is kept under
# build/fuzz/fuzz/run/<target>/artifacts/; the grown corpus stays in
# build/fuzz/fuzz/run/<target>/corpus/ until the next run.
set -euo pipefail
cd "$(dirname "$0")/.."

DEFAULT_SECONDS=600
# The test command's run time, which the preset sets on every configure;
# put back at the end so that a later plain ctest run is short again.
SHORT_SECONDS=10

seconds="${1:-$DEFAULT_SECONDS}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: scripts/fuzz.sh [SECONDS]" >&2
    exit 2
fi

bash scripts/setup.sh
mkdir -p build
cmake --preset fuzz -DNORVALE_FUZZ_SECONDS="$seconds" >build/fuzz.configure.log 2>&1 ||
    { cat build/fuzz.configure.log; exit 1; }
trap 'cmake --preset fuzz -DNORVALE_FUZZ_SECONDS=$SHORT_SECONDS >/dev/null 2>&1 || true' EXIT
cmake --build --preset fuzz
ctest --preset fuzz --verbose
