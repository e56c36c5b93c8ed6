#!/bin/bash
# Builds Norvale.exe and opens its main window under Wine: on your display
# when there is one (close the window to end the demo), otherwise on a
# virtual display, saving a screenshot of the window.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"

bash scripts/setup.sh
source scripts/wine-env.sh
norvale_pick_wine
had_display="${DISPLAY:-}"

echo "== build $NORVALE_WIN_PRESET"
cmake --preset "$NORVALE_WIN_PRESET" >/dev/null
cmake --build --preset "$NORVALE_WIN_PRESET" --target Norvale uidriver >/dev/null
BIN="$ROOT/build/$NORVALE_WIN_PRESET"

norvale_wine_env

DEMO="$ROOT/build/demo"
rm -rf "$DEMO"
mkdir -p "$DEMO/program/temp"
cp "$BIN/app/Norvale.exe" "$DEMO/program/"

driver() { "$WINE" "$BIN/tools/uidriver/uidriver.exe" "$@"; }

cd "$DEMO/program"
"$WINE" Norvale.exe >/dev/null 2>&1 </dev/null &
program=$!
NORVALE_STARTED_PIDS+=("$program")

STATUS_BOX=1003  # IDC_STATUS
driver wait Tessaly 30000 >/dev/null 2>&1 || { echo "demo: the window did not open" >&2; exit 1; }
echo "== Norvale.exe is running; status: \"$(driver text Tessaly "$STATUS_BOX" 2>/dev/null)\""

if [ -n "$had_display" ]; then
    echo "== close the window to end the demo"
    wait "$program" || true
    exit 0
fi

driver screenshot Tessaly 'Z:'"${DEMO//\//\\}"'\norvale-window.bmp' >/dev/null 2>&1
/usr/bin/convert "$DEMO/norvale-window.bmp" "$DEMO/norvale-window.png"
rm -f "$DEMO/norvale-window.bmp"
echo "== screenshot of the window: $DEMO/norvale-window.png"
EXIT_COMMAND=32775  # ID_FILE_EXIT in res/resource.h
driver menu Tessaly "$EXIT_COMMAND" >/dev/null 2>driver menu Tessaly 32775 >/dev/null 2>&11
wait "$program" || true
echo "== the window was closed; demo done"
