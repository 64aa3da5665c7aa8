#!/usr/bin/env bash
# Builds the engine and runs the sample game in samples/demo (on a virtual
# display when there is none).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/tools/build.sh"
build=${BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build=$root/$build ;; esac
if [ ! -f "$build/bin/VyEngine.exe" ]; then
  echo "run_demo: VyEngine.exe is not built yet; nothing to run"
  exit 0
fi
export VY_BUILD_DIR=$build
cd "$root/samples/demo"
exec "$root/tools/wine-run.sh" "$build/bin/VyEngine.exe" "$@"
