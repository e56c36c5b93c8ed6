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

# count_results JUNIT RC WHAT: adds the counts of a CTest run that exited
# with RC and wrote JUNIT.
count_results() {
    local counts pass fail
    if ! counts="$(junit_counts "$1" 2>/dev/null)"; then
        echo "test: no test results from $3" >&2
        failed=$((failed + 1))
        status=1
        return
    fi
    read -r pass fail <<<"$counts"
    passed=$((passed + pass))
    failed=$((failed + fail))
    if [ "$fail" -ne 0 ] || [ "$2" -ne 0 ]; then
        status=1
    fi
}

run_tests() {
    local preset="$1"
    shift
    echo "== test $preset $*"
    local junit="$ROOT/build/$preset.junit.xml" rc=0
    rm -f "$junit"
    ctest --preset "$preset" --output-on-failure --output-junit "$junit" "$@" || rc=$?
    count_results "$junit" "$rc" "$preset"
}

# The shipped 32-bit build's Windows unit tests and its HTTPS end-to-end test
# under wine32 through qemu-i386, with the 64-bit wineserver. All of it runs in
# one namespace: Wine's sockets are made by its wineserver, so the server and
# the tests' web server must share a network.
run_emulated_tests() {
    local unit="$ROOT/build/win32-emulated-unit.junit.xml" rc=0
    local https="$ROOT/build/win32-emulated-https.junit.xml"
    rm -f "$unit" "$https"
    "$WINESERVER" -k >/dev/null 2>&1
    WINE=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win32 \
        WINEPREFIX="$ROOT/build/wineprefix-win32" norvale_emulate_i386 bash -c '
        source scripts/wine-env.sh
        trap norvale_cleanup EXIT
        norvale_start_wine || exit 1
        rc=0
        echo "== test win32 -L win32 -j 2"
        ctest --preset win32 --output-on-failure --output-junit "$1" -L win32 -j 2 || rc=1
        echo "== test win32 -R ^ProgramTest\.ReachesHttps"
        ctest --preset win32 --output-on-failure --output-junit "$2" \
            -R "^ProgramTest\.ReachesHttps" || rc=1
        exit "$rc"' norvale "$unit" "$https" || rc=$?
    count_results "$unit" "$rc" "the emulated 32-bit unit tests"
    count_results "$https" "$rc" "the emulated 32-bit HTTPS test"
}

mkdir -p build
start=$(date +%s)

if build native; then run_tests native -j 2; else status=1; fi
if build native-sanitize; then run_tests native-sanitize -j 2; else status=1; fi
if build fuzz; then run_tests fuzz; else status=1; fi
# The product itself is always the 32-bit build, with its release zip and
# installer package (whose test needs Wine: below). Where the kernel cannot run
# it, its Windows tests run under emulation (below) when the machine allows;
# else it is built for the release alone.
emulate_i386=""
if [ "$NORVALE_WIN_PRESET" = win32 ]; then
    build win32 || status=1
elif no_emulation="$(norvale_can_emulate_i386)"; then
    emulate_i386=yes
    build win32 || status=1
else
    build win32 --target release || status=1
fi
run_tests win32 -L release -LE package
echo "== Windows tests: $NORVALE_WIN_WHY"
if [ -n "$emulate_i386" ]; then
    # Its unit tests run in the 32-bit build, below: only what the end-to-end
    # and package tests start.
    build "$NORVALE_WIN_PRESET" --target e2e_test uidriver install_package NorvaleConfig ||
        status=1
elif [ "$NORVALE_WIN_PRESET" != win32 ]; then
    build "$NORVALE_WIN_PRESET" || status=1
fi
if norvale_wine_env; then
    # The x86-64 build's unit tests repeat the 32-bit build's, which run below.
    [ -n "$emulate_i386" ] || run_tests "$NORVALE_WIN_PRESET" -L win32 -j 2
    # One program start at a time: they share the screen and the web server.
    run_tests "$NORVALE_WIN_PRESET" -L e2e
    # The installer package, in a Wine prefix of its own.
    run_tests "$NORVALE_WIN_PRESET" -L package
else
    echo "test: the Windows tests were not run" >&2
    failed=$((failed + 1))
fi

if [ -n "$emulate_i386" ]; then
    echo "== 32-bit Windows tests: the 32-bit Norvale.exe under wine32 through qemu-i386"
    run_emulated_tests
elif [ "$NORVALE_WIN_PRESET" != win32 ]; then
    echo "== 32-bit Windows tests: not run here: $no_emulation"
fi

echo "== took $(( $(date +%s) - start )) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit "$status"
