#!/usr/bin/env bash
# Set-up, configure and build. BUILD_DIR picks the build folder (default build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=$("$root/tools/setup.sh" | tail -n1)
build=${BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build=$root/$build ;; esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DVY_CACHE="$cache" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" "$@"
