#!/bin/bash
# Builds everything and runs every test: the portable core natively and under
# the sanitizers, its fuzz targets for a short while, then the Windows unit
# tests and the end-to-end tests of the real Norvale.exe under Wine. Ends with
# a line that counts passes and failures.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"

bash scripts/setup.sh || exit 1
source scripts/wine-env.sh
norvale_pick_wine

passed=0
failed=0
status=0

build() {
    local preset="$1"
    echo "== build $preset"
    cmake --preset "$preset" >"build/$preset.configure.log" 2>&1 ||
        { cat "build/$preset.configure.log"; return 1; }
    cmake --build --preset "$preset" 2>&1 | grep -vE '^\[ *[0-9]+%\]|^gmake|^Scanning|^Consolidate'
    return "${PIPESTATUS[0]}"
}

run_tests() {
    local preset="$1"
    shift
    echo "== test $preset $*"
    local log="build/$preset.ctest.log"
    ctest --preset "$preset" "$@" 2>&1 | tee "$log"
    local line
    line="$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)"
    if [ -z "$line" ]; then
        echo "test: no test summary from $preset" >&2
        status=1
        return
    fi
    local total fails
    total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")"
    fails="$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")"
    passed=$((passed + total - fails))
    failed=$((failed + fails))
    [ "$fails" -eq 0 ] || status=1
}

mkdir -p build
start=$(date +%s)

if build native; then run_tests native -j 2; else status=1; fi
if build native-sanitize; then run_tests native-sanitize -j 2; else status=1; fi
if build fuzz; then run_tests fuzz; else status=1; fi
# The product itself is always the 32-bit build, with its release zip and
# installer package (whose test needs Wine: below).
build win32 || status=1
run_tests win32 -L release -LE package
echo "== Windows tests: $NORVALE_WIN_WHY"
if [ "$NORVALE_WIN_PRESET" != win32 ]; then
    build "$NORVALE_WIN_PRESET" || status=1
fi
if norvale_wine_env; then
    run_tests "$NORVALE_WIN_PRESET" -L win32 -j 2
    # One program start at a time: they share the screen and the web server.
    run_tests "$NORVALE_WIN_PRESET" -L e2e
    # The installer package, in a Wine prefix of its own.
    run_tests "$NORVALE_WIN_PRESET" -L package
else
    echo "test: the Windows tests were not run" >&2
    failed=$((failed + 1))
fi

echo "== took $(( $(date +%s) - start )) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit "$status"
