#!/usr/bin/env bash
# Builds everything and runs every test under Wine (what CI runs).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/tools/build.sh"
build=${BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build=$root/$build ;; esac
export VY_BUILD_DIR=$build
. "$root/tools/wine-env.sh"
status=0
(cd "$build" && ctest --output-on-failure --timeout 1200 "$@") || status=$?
if [ "${CI:-}" = true ]; then
  wineserver -k >/dev/null 2>&1 || true
fi
exit $status
