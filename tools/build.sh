#!/usr/bin/env bash
# Set-up, configure and build one arch (VY_ARCH: 32 or 64, see tools/arch.sh)
# into its build folder. Extra arguments go to "cmake --build".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=$("$root/tools/setup.sh" | tail -n1)
. "$root/tools/arch.sh"
build=$VY_BUILD_DIR
if [ "$VY_ARCH" = 64 ]; then toolchain=mingw-x86_64; else toolchain=mingw-i686; fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
        -DVY_CACHE="$cache" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" "$@"
