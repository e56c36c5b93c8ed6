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

# build PRESET [--target TARGET...]
build() {
    local preset="$1"
    echo "== build $preset ${*:2}"
    cmake --preset "$preset" >"build/$preset.configure.log" 2>&1 ||
        { cat "build/$preset.configure.log"; return 1; }
    cmake --build --preset "$preset" "${@:2}" 2>&1 |
        grep -vE '^\[ *[0-9]+%\]|^gmake|^Scanning|^Consolidate'
    return "${PIPESTATUS[0]}"
}

# "PASSED FAILED" from a CTest JUnit file's counts: a test skipped or not run
# counts as failed, a disabled one as neither. Fails when the file is missing,
# unreadable or counts no test.
junit_counts() {
    python3 - "$1" <<'EOF'
import sys
import xml.etree.ElementTree as ElementTree

suite = ElementTree.parse(sys.argv[1]).getroot()
tests, failures, skipped, disabled = (
    int(suite.get(name, "0")) for name in ("tests", "failures", "skipped", "disabled"))
if suite.tag != "testsuite" or tests == 0:
    sys.exit(1)
print(tests - failures - skipped - disabled, failures + skipped)
EOF
}

run_tests() {
    local preset="$1"
    shift
    echo "== test $preset $*"
    local junit="$ROOT/build/$preset.junit.xml" rc=0 counts pass fail
    rm -f "$junit"
    ctest --preset "$preset" --output-on-failure --output-junit "$junit" "$@" || rc=$?
    if ! counts="$(junit_counts "$junit" 2>/dev/null)"; then
        echo "test: no test results from $preset" >&2
        failed=$((failed + 1))
        status=1
        return
    fi
    read -r pass fail <<<"$counts"
    passed=$((passed + pass))
    failed=$((failed + fail))
    if [ "$fail" -ne 0 ] || [ "$rc" -ne 0 ]; then
        status=1
    fi
}

mkdir -p build
start=$(date +%s)

if build native; then run_tests native -j 2; else status=1; fi
if build native-sanitize; then run_tests native-sanitize -j 2; else status=1; fi
if build fuzz; then run_tests fuzz; else status=1; fi
# The product itself is always the 32-bit build, with its release zip and
# installer package (whose test needs Wine: below). Where the Windows tests
# run the x86-64 build, the 32-bit one is built for the release alone.
if [ "$NORVALE_WIN_PRESET" = win32 ]; then
    build win32 || status=1
else
    build win32 --target release || status=1
fi
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
