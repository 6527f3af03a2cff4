#!/bin/sh
# Installs what the build, the tests and make dist need on a fresh Debian machine.
# Idempotent: a package group is installed only when its tool is missing.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
need=""
have() { command -v "$1" >/dev/null 2>&1; }

have i686-w64-mingw32-g++-posix || need="$need g++-mingw-w64-i686 binutils-mingw-w64-i686"
have x86_64-w64-mingw32-g++-posix || need="$need g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64"
have cmake || need="$need cmake"
have ninja || need="$need ninja-build"
have clang++ || need="$need clang"
have Xvfb || need="$need xvfb"
have xauth || need="$need xauth"
have zip || need="$need zip"
have jq || need="$need jq"
[ -f /usr/src/googletest/CMakeLists.txt ] || need="$need googletest"
[ -f /usr/include/gtest/gtest.h ] || need="$need libgtest-dev"
[ -f /usr/include/benchmark/benchmark.h ] || need="$need libbenchmark-dev"
[ -f /usr/include/png.h ] || need="$need libpng-dev"
# qxlmkjob draws text with FreeType, in DejaVu Sans unless told otherwise.
[ -f /usr/include/freetype2/ft2build.h ] || need="$need libfreetype-dev"
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || need="$need fonts-dejavu-core"
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
    need="$need libclang-rt-dev"
[ -x /usr/lib/wine/wine64 ] || need="$need wine wine64"
# Wine's own dialog and caption fonts, for the status monitor's screenshots.
[ -f /usr/share/wine/fonts/marlett.ttf ] || need="$need fonts-wine"

# 32-bit Wine only where the kernel runs 32-bit code; elsewhere the Windows tests
# run the x86_64 build under 64-bit Wine (see README).
want_wine32=0
if "$here/ia32-probe" 2>/dev/null; then
    [ -x /usr/lib/wine/wine ] && dpkg -s wine32:i386 >/dev/null 2>&1 || want_wine32=1
fi

[ -z "$need" ] && [ "$want_wine32" = 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages:$need; run as root" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ "$want_wine32" = 1 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    need="$need wine wine32:i386"
fi
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $need
