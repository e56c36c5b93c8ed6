#!/bin/bash
# The Windows Installer package under Wine, in a fresh prefix: a silent
# install, the program started from its Start-menu shortcut against a local
# web server, an upgrade to a higher version that keeps the user's settings,
# and a silent uninstall that leaves only config.txt.
#   package_test.sh SOURCE_DIR BINARY_DIR STRIP
set -Eeuo pipefail
trap 'echo "package test: failed: $BASH_COMMAND (line $LINENO)" >&2' ERR
src="$1" bin="$2" work="$2/package-test"
rm -rf "$work"
source "$src/scripts/wine-env.sh"
address="$(bash "$src/scripts/web-server.sh" free 40 59)"
bash "$src/scripts/web-server.sh" start "$work/server" "$work/www" "$address"
# Stopped, with the prefix's programs and any display started here, on exit.
NORVALE_STARTED_PIDS+=("$(cat "$work/server/nginx.pid")")
export WINEPREFIX="$work/prefix"
norvale_wine_env >/dev/null
printf 'Codes 2024-05-01\r\nA100 Footings\r\n' >"$work/www/CODES.DAT"

# Version 1.0 around the build's Norvale.exe, 1.1 around a stripped copy.
printf '%s\r\n/CODES.DAT\r\nZ:%s\\tools\\fake_dcomm2\\dcomm2.exe\r\n' "$address" "${bin//\//\\}" >"$work/config.txt"
"$3" -o "$work/stripped.exe" "$bin/app/Norvale.exe"
package() { cmake -DEXE="$2" -DCONFIG="$work/config.txt" -DVERSION="$1" -DOUTPUT="$work/$1.msi" -P "$src/release/package.cmake"; }
package 1.0 "$bin/app/Norvale.exe"
package 1.1 "$work/stripped.exe"
msiexec() { echo "+ msiexec $1 $2.msi /qn"; "$WINE" msiexec "$1" "Z:${work//\//\\}\\$2.msi" /qn; }
products() { "$WINE" uninstaller --list | tee /dev/stderr | grep -c '|||Norvale' || true; }
driver() { "$WINE" "$bin/tools/uidriver/uidriver.exe" "$@"; }
window="$(norvale_resource MAIN_WINDOW_CAPTION)"
files() { (cd "$dir" && find . | LC_ALL=C sort | xargs); }
user="$WINEPREFIX/drive_c/users/$(id -un)"
dir="$user/AppData/Local/Programs/Norvale"
link="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Norvale.lnk"

msiexec /i 1.0
[ "$(files)" = ". ./GUIDE.txt ./Norvale.exe ./config.txt ./temp" ]
"$WINE" start /unix "$link"
driver wait "$window" "$(norvale_resource IDC_STATUS)" "$(printf 'File retrieved from %s.\r\nCurrent Building Code date: Codes 2024-05-01\r\nReady to perform update.' "$address")" 30000 >/dev/null
# Ends every program of the prefix, the one started above with them.
"$WINESERVER" -k

echo "A changed setting" >>"$dir/config.txt"
cp "$dir/config.txt" "$work/changed.txt"
msiexec /i 1.1
[ "$(products)" = 1 ]
cmp "$work/stripped.exe" "$dir/Norvale.exe"
cmp "$work/changed.txt" "$dir/config.txt"

touch "$dir/update.bat" "$dir/temp/CODES.DAT"
msiexec /x 1.1
[ "$(products)" = 0 ]
[ "$(files)" = ". ./config.txt" ]
[ ! -e "$link" ]
cmp "$work/changed.txt" "$dir/config.txt"
