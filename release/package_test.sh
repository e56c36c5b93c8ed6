#!/bin/bash
# The Windows Installer package under Wine, in a fresh prefix: a silent
# install, the program started from its Start-menu shortcut against a local
# web server, the settings given as properties (written byte for byte, a
# value refused), a rebuilt package of the same version, a signed upgrade
# that keeps the user's settings, and a silent uninstall that leaves only
# config.txt.
#   package_test.sh SOURCE_DIR BINARY_DIR STRIP
set -Eeuo pipefail
trap 'echo "package test: failed: $BASH_COMMAND (line $LINENO)" >&2' ERR
src="$1" bin="$2" work="$2/package-test"
rm -rf "$work"
source "$src/scripts/wine-env.sh"
# Stopped, with the prefix's programs and any display started here, on exit.
norvale_start_web_server "$work/server" "$work/www" 40 59
address="$NORVALE_WEB_ADDRESS"
export WINEPREFIX="$work/prefix"
# Command lines reach Wine as UTF-8; its ANSI code page is then 1252.
export LC_ALL=C.UTF-8
norvale_wine_env >/dev/null
printf 'Codes 2024-05-01\r\nA100 Footings\r\n' >"$work/www/CODES.DAT"

# A code-signing certificate from a certificate authority of the test's own.
sign="$work/sign"
mkdir -p "$sign"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$sign/ca.key" -out "$sign/ca.pem" -days 2 \
    -subj "/CN=Norvale Test CA" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$sign/key.pem" -out "$sign/cert.csr" \
    -subj "/CN=Norvale Test Signer" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$sign/code.ext"
openssl x509 -req -in "$sign/cert.csr" -CA "$sign/ca.pem" -CAkey "$sign/ca.key" -set_serial 1 \
    -days 2 -extfile "$sign/code.ext" -out "$sign/cert.pem" 2>/dev/null
sign_file() { cmake -DFILE="$1" -DCERT="$sign/cert.pem" -DKEY="$sign/key.pem" -P "$src/release/sign.cmake"; }
verify() { osslsigncode verify -CAfile "$sign/ca.pem" -TSA-CAfile "$sign/ca.pem" -in "$1" >"$1.verify" 2>&1; }

# The packages' config.txt names a codes file the server lacks.
fake_utility="Z:${bin//\//\\}\\tools\\fake_dcomm2\\dcomm2.exe"
printf '%s\r\n/missing/CODES.DAT\r\n%s\r\n' "$address" "$fake_utility" >"$work/config.txt"
# Version 1.0 around the build's Norvale.exe; a rebuilt 1.0 around a
# stripped copy; a signed 1.1 around a signed stripped copy and signed DLL.
action="$bin/release/config_action/NorvaleConfig.dll"
"$3" -o "$work/stripped.exe" "$bin/app/Norvale.exe"
cp "$work/stripped.exe" "$work/signed.exe"
cp "$action" "$work/signed.dll"
sign_file "$work/signed.exe"
sign_file "$work/signed.dll"
package() {
    cmake -DEXE="$2" -DACTION="$3" -DCONFIG="$work/config.txt" -DVERSION="${1%-*}" \
        -DOUTPUT="$work/$1.msi" "${@:4}" -P "$src/release/package.cmake"
}
package 1.0 "$bin/app/Norvale.exe" "$action"
package 1.0-rebuilt "$work/stripped.exe" "$action"
package 1.1 "$work/signed.exe" "$work/signed.dll" -DSIGN_CERT="$sign/cert.pem" -DSIGN_KEY="$sign/key.pem"

winpath() { echo "Z:${1//\//\\}"; }
# Every install has a time limit: an installer that hangs fails the test.
INSTALL_SECONDS=90
# Wine passes on the low 8 bits of an exit status.
INSTALL_FAILURE=$((1603 % 256))
# Each install writes its log to install.log.
log="$work/install.log"
# msiexec ACTION PACKAGE [PROPERTY=VALUE]...: silently.
msiexec() {
    echo "+ msiexec $1 $2.msi /qn ${*:3}"
    timeout "$INSTALL_SECONDS" "$WINE" msiexec "$1" "$(winpath "$work/$2.msi")" /qn \
        /l*v "$(winpath "$log")" "${@:3}"
}
# msi_dll PACKAGE COMMAND_LINE: through msi.dll, which keeps quotes.
msi_dll() {
    echo "+ MsiInstallProduct $1.msi $2"
    printf %s "$2" >"$work/command-line.txt"
    timeout "$INSTALL_SECONDS" "$WINE" "$bin/tools/install_package/install_package.exe" \
        "$(winpath "$work/$1.msi")" "$(winpath "$work/command-line.txt")" "$(winpath "$log")"
}
# refused PROPERTY INSTALL...: the install fails, its log names PROPERTY and
# config.txt is as it was.
refused() {
    local status=0
    cp "$dir/config.txt" "$work/before.txt"
    "${@:2}" || status=$?
    [ "$status" = "$INSTALL_FAILURE" ]
    grep -a "Norvale: the value of $1 holds a" "$log"
    cmp "$work/before.txt" "$dir/config.txt"
}
# lines A B C: the bytes of a config.txt of these three lines.
lines() { printf '%s\r\n' "$@"; }
products() { "$WINE" uninstaller --list | tee /dev/stderr | grep -c '|||Norvale' || true; }
driver() { "$WINE" "$bin/tools/uidriver/uidriver.exe" "$@"; }
window="$(norvale_resource MAIN_WINDOW_CAPTION)"
files() { (cd "$dir" && find . | LC_ALL=C sort | xargs); }
user="$WINEPREFIX/drive_c/users/$(id -un)"
dir="$user/AppData/Local/Programs/Norvale"
link="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Norvale.lnk"

# The first install, given the codes file's path: the package's other two
# lines, and the program fetches the codes from the shortcut.
msiexec /i 1.0 CODESPATH=/CODES.DAT
[ "$(files)" = ". ./GUIDE.txt ./Norvale.exe ./config.txt ./temp" ]
lines "$address" /CODES.DAT "$fake_utility" >"$work/expected.txt"
cmp "$work/expected.txt" "$dir/config.txt"
"$WINE" start /unix "$link"
driver wait "$window" "$(norvale_resource IDC_STATUS)" "$(printf 'File retrieved from %s.\r\nCurrent Building Code date: Codes 2024-05-01\r\nReady to perform update.' "$address")" 30000 >/dev/null
# Ends every program of the prefix, the one started above with them.
"$WINESERVER" -k

# Installing again with properties: each one given replaces its line, byte
# for byte in code page 1252 (e9: the letter e with an acute accent); HOST,
# not given, keeps its line.
msiexec /i 1.0 "CODESPATH=/codes & more/100%^é.DAT" "TRANSFERPATH=C:\Program Files\Dolphin File Transfer\dcomm2.exe"
codes_path="$(printf '/codes & more/100%%^\xe9.DAT')"
lines "$address" "$codes_path" 'C:\Program Files\Dolphin File Transfer\dcomm2.exe' >"$work/expected.txt"
cmp "$work/expected.txt" "$dir/config.txt"
# Quotes, doubled inside a quoted value, reach the file through msi.dll; an
# empty value keeps its line.
msi_dll 1.0 'TRANSFERPATH="C:\Tools\say ""hi""\dcomm2.exe" HOST='
transfer_path='C:\Tools\say "hi"\dcomm2.exe'
lines "$address" "$codes_path" "$transfer_path" >"$work/expected.txt"
cmp "$work/expected.txt" "$dir/config.txt"

# A letter that code page 1252 lacks, and a control character: refused
# before anything changed, even by a package that would replace this one.
refused HOST msiexec /i 1.0 "HOST=codes.example.org/Ωmega"
refused CODESPATH msi_dll 1.0-rebuilt "$(printf 'CODESPATH="/a\tb"')"
[ "$(products)" = 1 ]
cmp "$bin/app/Norvale.exe" "$dir/Norvale.exe"

# A rebuilt package of the same version replaces the installed one and keeps
# the user's settings.
echo "A changed setting" >>"$dir/config.txt"
cp "$dir/config.txt" "$work/changed.txt"
msiexec /i 1.0-rebuilt
[ "$(products)" = 1 ]
cmp "$work/stripped.exe" "$dir/Norvale.exe"
cmp "$work/changed.txt" "$dir/config.txt"

# The signed program, DLL and package verify against the test's authority;
# the program with one byte changed does not.
verify "$work/signed.exe"
verify "$work/signed.dll"
verify "$work/1.1.msi"
python3 -c 'import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[4096] ^= 0xFF
open(sys.argv[2], "wb").write(data)' "$work/signed.exe" "$work/changed.exe"
if verify "$work/changed.exe"; then
    echo "package test: the changed program still verifies" >&2
    exit 1
fi
grep MISMATCH "$work/changed.exe.verify"

# The signed upgrade with a property: the file written whole (three lines),
# the user's other two settings kept.
msiexec /i 1.1 HOST=codes.example.org
[ "$(products)" = 1 ]
cmp "$work/signed.exe" "$dir/Norvale.exe"
lines codes.example.org "$codes_path" "$transfer_path" >"$work/expected.txt"
cmp "$work/expected.txt" "$dir/config.txt"
cp "$dir/config.txt" "$work/kept.txt"

# Uninstalling, with a property given, keeps config.txt as it is.
touch "$dir/update.bat" "$dir/temp/CODES.DAT"
msiexec /x 1.1 HOST=other.example.org
[ "$(products)" = 0 ]
[ "$(files)" = ". ./config.txt" ]
[ ! -e "$link" ]
cmp "$work/kept.txt" "$dir/config.txt"

# A user whose name code page 1252 lacks letters of (Дмитрий): the package
# installs into that user's folder, a setting given reaches config.txt there,
# and the program started there fetches the codes. (Wine 8 starts a shortcut
# by the ANSI form of its target, which names nothing here: the program is
# started in its folder as the shortcut would.)
"$WINE" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
    /v 'Local AppData' /t REG_EXPAND_SZ /d 'C:\users\Дмитрий\AppData\Local' /f >/dev/null
dir="$WINEPREFIX/drive_c/users/Дмитрий/AppData/Local/Programs/Norvale"
msiexec /i 1.1 CODESPATH=/CODES.DAT
lines "$address" /CODES.DAT "$fake_utility" >"$work/expected.txt"
cmp "$work/expected.txt" "$dir/config.txt"
(cd "$dir" && "$WINE" start /unix "$dir/Norvale.exe")
driver wait "$window" "$(norvale_resource IDC_STATUS)" "$(printf 'File retrieved from %s.\r\nCurrent Building Code date: Codes 2024-05-01\r\nReady to perform update.' "$address")" 30000 >/dev/null
"$WINESERVER" -k
