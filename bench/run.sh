#!/bin/bash
# Measures Norvale against the tools people would use instead and rewrites
# bench/results.json and bench/RESULTS.md (see bench/measure.py for the
# figures). Uses the same web server and Wine set-up as the demo and the
# tests; stops everything it started.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
WORK="$ROOT/build/bench"

bash scripts/setup.sh bench
source scripts/wine-env.sh
norvale_pick_wine
echo "== building"
# The native programs (in $WORK/native) with the optimisation the shipped
# program is built with.
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
cmake --preset "$NORVALE_WIN_PRESET" >/dev/null
cmake --build --preset "$NORVALE_WIN_PRESET" --target Norvale uidriver minimal_dialog \
    minimal_dialog_sockets minimal_get trust_root >/dev/null

rm -rf "$WORK/www" "$WORK/program" "$WORK/fetch"
mkdir -p "$WORK/www"
export WINEPREFIX="$ROOT/build/wineprefix-bench-$NORVALE_WIN_PRESET"
norvale_wine_env
# The HTTPS site for localhost, from a test root trusted in this prefix only.
bash scripts/test-certs.sh "$WORK/tls"
(cd "$WORK/tls" && "$WINE" "$ROOT/build/$NORVALE_WIN_PRESET/tools/trust_root/trust_root.exe" root.der)
norvale_start_web_server "$WORK/server" "$WORK/www" 150 199 "$WORK/tls"
address="$NORVALE_WEB_ADDRESS"

echo "== measuring (a few minutes)"
timeout 1800 python3 bench/measure.py --address "$address" --wine "$WINE" \
    --native "$WORK/native" --windows "$ROOT/build/$NORVALE_WIN_PRESET" --work "$WORK" \
    --https-port "$(cat "$WORK/server/https-good")" "$@"
echo "== wrote bench/results.json and bench/RESULTS.md"
