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

missing=()
for entry in "${REQUIRED[@]}"; do
    package="${entry%:*}"
    file="${entry##*:}"
    [ -e "$file" ] || missing+=("$package")
done

if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
    exit 1
fi

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
