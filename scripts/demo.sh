#!/bin/bash
# The whole job, as an office would run it: a web server (nginx on a free
# loopback address, port 80) serves today's codes file; Norvale.exe starts
# under Wine in a program folder of its own whose settings ask it to detect
# the transfer utility; a stand-in utility, installed at the usual C: path,
# "loads the handheld" by copying the file it is given into a folder
# handheld/. With a display the window is yours to use: closing it ends the
# demo. Without one, the demo presses "Update Building Codes" itself, saves
# screenshots, and succeeds only when the handheld holds the served codes.
set -euo pipefail
# Never end silently: a step that fails says which one it was.
trap 'echo "demo: stopped: \"$BASH_COMMAND\" failed (line $LINENO)" >&2' ERR
cd "$(dirname "$0")/.."
ROOT="$PWD"

bash scripts/setup.sh
source scripts/wine-env.sh
norvale_pick_wine
CAPTION="$(norvale_resource MAIN_WINDOW_CAPTION)"
IDC_UPDATE="$(norvale_resource IDC_UPDATE)"
IDC_STATUS="$(norvale_resource IDC_STATUS)"
ID_FILE_EXIT="$(norvale_resource ID_FILE_EXIT)"
had_display="${DISPLAY:-}"

echo "== demo: $NORVALE_WIN_WHY"
echo "== building Norvale.exe ($NORVALE_WIN_PRESET)"
cmake --preset "$NORVALE_WIN_PRESET" >/dev/null
cmake --build --preset "$NORVALE_WIN_PRESET" --target Norvale uidriver dcomm2 >/dev/null
BIN="$ROOT/build/$NORVALE_WIN_PRESET"

DEMO="$ROOT/build/demo"
rm -rf "$DEMO"
mkdir -p "$DEMO/program/temp" "$DEMO/www/codes"

# A Wine prefix of the demo's own, so that the stand-in utility installed
# below stays out of the tests' prefix.
export WINEPREFIX="$ROOT/build/wineprefix-demo-$NORVALE_WIN_PRESET"
norvale_wine_env

# Today's codes file.
codes="$DEMO/www/codes/CODES.DAT"
{
    echo "Building Codes $(date +%Y-%m-%d)"
    echo "A100 Foundations and footings"
    echo "B200 Wood framing"
    echo "C300 Roofing and flashing"
    echo "E400 Electrical service"
    echo "P500 Plumbing and drainage"
} >"$codes"

norvale_start_web_server "$DEMO/server" "$DEMO/www" 100 199
address="$NORVALE_WEB_ADDRESS"
echo "== web server: http://$address/codes/CODES.DAT"

# The stand-in transfer utility at the usual C: location.
utility_dir="$WINEPREFIX/drive_c/Program Files/Dolphin File Transfer"
rm -rf "$utility_dir"
mkdir -p "$utility_dir"
cp "$BIN/tools/fake_dcomm2/dcomm2.exe" "$utility_dir/"

cp "$BIN/app/Norvale.exe" "$DEMO/program/"
printf '%s\r\n%s\r\n%s\r\n' "$address" "/codes/CODES.DAT" "Autodetect Failed." >"$DEMO/program/config.txt"

driver() { "$WINE" "$BIN/tools/uidriver/uidriver.exe" "$@" 2>/dev/null; }
# The window as the display shows it, taken by ImageMagick.
screenshot() {
    import -window "$CAPTION" "$DEMO/$1.png"
    echo "== screenshot: $DEMO/$1.png"
}

cd "$DEMO/program"
"$WINE" Norvale.exe >/dev/null 2>&1 </dev/null &
program=$!
NORVALE_STARTED_PIDS+=("$program")
driver wait "$CAPTION" "$IDC_STATUS" "" 30000 >/dev/null ||
    { echo "demo: the window did not open" >&2; exit 1; }

expected="$(printf 'File retrieved from %s.\r\nCurrent Building Code date: %s\r\nReady to perform update.' \
    "$address" "$(head -n 1 "$codes")")"
ready=""
driver wait "$CAPTION" "$IDC_STATUS" "$expected" 20000 >/dev/null || true
status="$(driver text "$CAPTION" "$IDC_STATUS" || true)"
[ "$status" = "$expected" ] && ready=yes
echo "== settings after detection (config.txt):"
sed 's/\r$//; s/^/   /' "$DEMO/program/config.txt"
echo "== status:"
printf '%s\n' "$status" | sed 's/\r$//; s/^/   /'
[ -n "$ready" ] || { echo "demo: the codes were not retrieved" >&2; exit 1; }

if [ -n "$had_display" ]; then
    echo "== the window is yours: press \"Update Building Codes\"; close it to end the demo"
    wait "$program" || true
    echo "== handheld folder: $utility_dir/handheld"
    exit 0
fi

screenshot norvale-ready
echo "== pressing \"Update Building Codes\""
driver click "$CAPTION" "$IDC_UPDATE"
screenshot norvale-after-update
echo "== status after the update:"
driver text "$CAPTION" "$IDC_STATUS" | sed 's/\r$//; s/^/   /'
echo
echo "== the transfer utility was started as:"
sed 's/^/   /' "$utility_dir/handheld/dcomm2-command-line.txt"
echo
echo "== the handheld now holds ($utility_dir/handheld/CODES.DAT):"
sed 's/\r$/ [CR LF]/; s/^/   /' "$utility_dir/handheld/CODES.DAT"
driver menu "$CAPTION" "$ID_FILE_EXIT"
wait "$program" || true

# The served codes with CR LF line ends, byte for byte.
if sed 's/$/\r/' "$codes" | cmp -s - "$utility_dir/handheld/CODES.DAT"; then
    echo "== done: the handheld holds the served codes"
else
    echo "demo: the handheld does not hold the served codes" >&2
    exit 1
fi
