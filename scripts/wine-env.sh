# Sourced by the README commands: a display, a Wine prefix and a persistent
# wineserver for running Windows programs built here. Everything started is
# stopped again by PID when the calling script exits.

NORVALE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
NORVALE_STARTED_PIDS=()

# Wine takes its code pages from the locale. With none set, as in a minimal
# container, a file name outside ASCII cannot reach the disk: use C.UTF-8,
# which every Debian has (Wine's ANSI code page is then 1252).
if [ -z "${LC_ALL:-}${LC_CTYPE:-}${LANG:-}" ]; then
    export LANG=C.UTF-8
fi

norvale_cleanup() {
    if [ -n "${WINESERVER:-}" ] && [ -n "${WINEPREFIX:-}" ]; then
        "$WINESERVER" -k >/dev/null 2>&1 || true
    fi
    for pid in "${NORVALE_STARTED_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}

# The Windows build whose programs this machine can run: the 32-bit one, or,
# where the kernel cannot execute 32-bit code (so wine32 cannot start), the
# same sources built for x86-64 and run by wine64. NORVALE_EMULATE_I386=1
# takes the second path on any machine, as if the kernel could not (the 32-bit
# build's tests then run under emulation, below). NORVALE_WIN_WHY says which,
# in words, for the scripts' one line about it.
norvale_pick_wine() {
    if [ -z "${NORVALE_EMULATE_I386:-}" ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        export WINE=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32 WINEARCH=win32
        NORVALE_WIN_PRESET=win32
        NORVALE_WIN_WHY="the 32-bit Norvale.exe under wine32"
    else
        export WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win64
        NORVALE_WIN_PRESET=win64
        NORVALE_WIN_WHY="this machine cannot run 32-bit code; the x86-64 build under wine64"
        if [ -n "${NORVALE_EMULATE_I386:-}" ]; then
            NORVALE_WIN_WHY="NORVALE_EMULATE_I386 is set; the x86-64 build under wine64"
        fi
    fi
}

# The ELF header of an i386 program, as binfmt_misc matches it (the entry of
# Debian's qemu-user-binfmt for i386).
NORVALE_I386_MAGIC='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
NORVALE_I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# norvale_emulate_i386 COMMAND...: runs COMMAND where every i386 program runs
# through qemu-i386, registered in the binfmt_misc of a private user, mount
# and network namespace, so that nothing machine-wide changes (the
# registration comes before the kernel's own loader, so this works on any
# machine). The network namespace has a loopback of its own, where the tests'
# servers may take port 80; the display's socket is a file, reached as before.
norvale_emulate_i386() {
    unshare --user --map-root-user --mount --net --propagation private bash -c '
        ip link set lo up || exit 1
        binfmt=/proc/sys/fs/binfmt_misc
        mount -t binfmt_misc binfmt_misc "$binfmt" || exit 1
        printf "%s" ":norvale-i386:M::$1:$2:$3:F" >"$binfmt/register" || exit 1
        shift 3
        exec "$@"' norvale-i386 "$NORVALE_I386_MAGIC" "$NORVALE_I386_MASK" \
        "$(command -v qemu-i386)" "$@"
}

# Whether norvale_emulate_i386 can run a program here; says why not, in one
# line, when it cannot.
norvale_can_emulate_i386() {
    local reason
    if ! command -v qemu-i386 >/dev/null; then
        reason="no qemu-i386"
    elif ! unshare --user --map-root-user --mount --net true 2>/dev/null; then
        reason="no user namespaces"
    elif ! reason="$(norvale_emulate_i386 /usr/lib/wine/wine --version 2>&1)"; then
        reason="no binfmt_misc in a user namespace (${reason%%$'\n'*})"
    else
        return 0
    fi
    echo "$reason"
    return 1
}

# Starts Xvfb on a free display unless a display is already there.
norvale_start_display() {
    if [ -n "${DISPLAY:-}" ] && norvale_display_socket_exists; then
        return 0
    fi
    local n pid i
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        pid=$!
        NORVALE_STARTED_PIDS+=("$pid")
        for i in $(seq 1 50); do
            if [ -e "/tmp/.X11-unix/X$n" ]; then
                export DISPLAY=":$n"
                return 0
            fi
            # An X server this /tmp does not show holds the number (one of
            # another root that shares the network, through its abstract
            # socket): Xvfb has ended; try the next.
            kill -0 "$pid" 2>/dev/null || continue 2
            sleep 0.1
        done
        echo "wine-env: Xvfb did not start on :$n" >&2
        return 1
    done
    echo "wine-env: no free display number" >&2
    return 1
}

# A display is usable when its socket exists (local displays only).
norvale_display_socket_exists() {
    local number="${DISPLAY#*:}"
    number="${number%%.*}"
    [ -e "/tmp/.X11-unix/X$number" ]
}

# Starts the web server of web-server.sh on the first free address from
# 127.0.0.$3 to 127.0.0.$4, serving the folder $2 with its own files in $1
# (and its HTTPS sites, given the certificates' folder $5), once it is up; it
# is stopped by PID when the calling script exits. Sets NORVALE_WEB_ADDRESS
# to the address.
norvale_start_web_server() {
    NORVALE_WEB_ADDRESS="$(bash "$NORVALE_ROOT/scripts/web-server.sh" free "$3" "$4")" || return 1
    bash "$NORVALE_ROOT/scripts/web-server.sh" start "$1" "$2" "$NORVALE_WEB_ADDRESS" ${5:+"$5"} ||
        return 1
    NORVALE_STARTED_PIDS+=("$(cat "$1/nginx.pid")")
}

# The value res/resource.h defines for the name $1 (a string without its quotes).
norvale_resource() {
    local value
    value="$(sed -n "s/^#define $1 //p" "$NORVALE_ROOT/res/resource.h" | tr -d '"')"
    [ -n "$value" ] || { echo "wine-env: res/resource.h defines no $1" >&2; return 1; }
    echo "$value"
}

# The first line Wine printed when it could not start a program.
norvale_wine_failed() {
    local reason
    reason="$(grep -m 1 . "$1" || true)"
    echo "wine-env: Wine cannot start programs: ${reason:-no reason given (exit status $2)}" >&2
    return 1
}

# Creates the prefix once (for the architecture of the build that runs in it)
# and keeps a wineserver running for quick launches. A prefix left by an
# earlier run for the other architecture is made again. Fails, with Wine's
# own first line, when Wine cannot start a program.
norvale_start_wine() {
    export WINEPREFIX="${WINEPREFIX:-$NORVALE_ROOT/build/wineprefix-$NORVALE_WIN_PRESET}"
    # Only a prefix of the project's own, under build/, is ever made again.
    case "$WINEPREFIX" in
    "$NORVALE_ROOT"/build/*) ;;
    *)
        echo "wine-env: $WINEPREFIX is not under $NORVALE_ROOT/build; unset WINEPREFIX" >&2
        return 1
        ;;
    esac
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    local log="${TMPDIR:-/tmp}/norvale-wine.$$.log" rc=0
    # A prefix is whole once its set-up below has ended and marked it so.
    local ready="$WINEPREFIX/norvale-prefix-ready"
    if [ -f "$ready" ] && ! grep -qx "#arch=$WINEARCH" "$WINEPREFIX/system.reg"; then
        echo "wine-env: $WINEPREFIX is not a $WINEARCH prefix; making it again"
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$ready" ]; then
        echo "wine-env: creating the Wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        "$WINE" wineboot -i >"$log" 2>&1 </dev/null || rc=$?
        if [ "$rc" -ne 0 ]; then
            norvale_wine_failed "$log" "$rc"
            "$WINESERVER" -k >/dev/null 2>&1 || true
            rm -rf "$WINEPREFIX" "$log"
            return 1
        fi
        # Wine's own fonts (Tahoma for dialogs, Marlett for the caption
        # buttons), where this Wine does not find them by itself.
        cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        # Wine draws the window frames itself (there may be no window manager).
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        # The registry reaches the disk when the wineserver ends.
        "$WINESERVER" -w
        touch "$ready"
    fi
    "$WINESERVER" -p >/dev/null 2>&1
    # Start Wine's background services now, with no terminal or pipe of the
    # caller's, so that no later program's output pipe is held open by them.
    "$WINE" wineboot >"$log" 2>&1 </dev/null || rc=$?
    if [ "$rc" -ne 0 ]; then
        norvale_wine_failed "$log" "$rc"
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}

norvale_wine_env() {
    trap norvale_cleanup EXIT
    norvale_pick_wine
    norvale_start_display || return 1
    norvale_start_wine
}
