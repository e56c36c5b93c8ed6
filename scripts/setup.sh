#!/bin/bash
# Installs what building and testing Norvale needs, from Debian's archive
# (setup.sh bench: what the benchmark needs as well). Idempotent: when
# everything is there it returns at once.
set -euo pipefail

# Debian packages and one command each provides (to tell quickly what is there).
REQUIRED=(
    "make:/usr/bin/make"
    "cmake:/usr/bin/cmake"
    "g++:/usr/bin/g++"
    "clang:/usr/bin/clang++"
    "libclang-rt-14-dev:/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
    "googletest:/usr/src/googletest/CMakeLists.txt"
    "g++-mingw-w64-i686:/usr/bin/i686-w64-mingw32-g++-posix"
    "g++-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-g++-posix"
    "wine:/usr/bin/wine"
    "wine64:/usr/lib/wine/wine64"
    "wine32:i386:/usr/lib/wine/wine"
    "xvfb:/usr/bin/Xvfb"
    "xauth:/usr/bin/xauth"
    "nginx-light:/usr/sbin/nginx"
    "imagemagick:/usr/bin/convert"
    "fonts-wine:/usr/share/wine/fonts/marlett.ttf"
    "wixl:/usr/bin/wixl"
    "msitools:/usr/bin/msibuild"
    "osslsigncode:/usr/bin/osslsigncode"
    # What the scripts and tests use that a minimal Debian lacks.
    "python3:/usr/bin/python3"
    "openssl:/usr/bin/openssl"
    "iproute2:/usr/bin/ss"
    # The locale data for the batch file test on UTF-8 code pages.
    "locales:/usr/share/i18n/locales/hi_IN"
)
# With the argument "bench", also the tools the benchmark measures against.
if [ "${1:-}" = bench ]; then
    REQUIRED+=("curl:/usr/bin/curl" "dos2unix:/usr/bin/unix2dos")
fi

export DEBIAN_FRONTEND=noninteractive

need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: missing $1; run as root to install it" >&2
        exit 1
    fi
}

missing=()
for entry in "${REQUIRED[@]}"; do
    package="${entry%:*}"
    file="${entry##*:}"
    [ -e "$file" ] || missing+=("$package")
done

if [ "${#missing[@]}" -ne 0 ]; then
    need_root "packages (${missing[*]})"
    echo "setup: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Where the kernel cannot run 32-bit programs (or NORVALE_EMULATE_I386 asks
# for that path), wine32 runs under user-mode emulation: QEMU 10 or later,
# from Debian's backports (bookworm's own 7.2 is far too slow).
QEMU_SUITE=bookworm-backports
QEMU_MIN_MAJOR=10
qemu_is_recent() {
    local major
    major="$(qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')"
    [ -n "$major" ] && [ "$major" -ge "$QEMU_MIN_MAJOR" ]
}
# The archive the machine's own apt sources take bookworm from.
debian_archive() {
    apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' |
        awk '$2 == "bookworm" { print $1; found = 1; exit } END { exit !found }'
}
if { [ -n "${NORVALE_EMULATE_I386:-}" ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; } &&
    ! qemu_is_recent; then
    need_root "qemu-user $QEMU_MIN_MAJOR from $QEMU_SUITE"
    if ! grep -rqs "$QEMU_SUITE" /etc/apt/sources.list /etc/apt/sources.list.d/; then
        archive="$(debian_archive)" ||
            { echo "setup: the apt sources name no Debian archive for bookworm" >&2; exit 1; }
        printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
            "$archive" "$QEMU_SUITE" /usr/share/keyrings/debian-archive-keyring.gpg \
            >/etc/apt/sources.list.d/norvale-$QEMU_SUITE.sources
    fi
    echo "setup: installing qemu-user from $QEMU_SUITE"
    apt-get update -q
    apt-get install -y -q --no-install-recommends -t "$QEMU_SUITE" qemu-user
    qemu_is_recent || { echo "setup: no qemu-i386 $QEMU_MIN_MAJOR or later" >&2; exit 1; }
fi
