#!/usr/bin/env bash
# Builds the engine and runs the sample game in samples/demo (on a virtual
# display when there is none): the 32-bit product wherever the host can run
# it, else the 64-bit build (VY_ARCH forces one; see tools/arch.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/tools/setup.sh" >/dev/null
. "$root/tools/arch.sh"
"$root/tools/build.sh"
build=$VY_BUILD_DIR
if [ ! -f "$build/bin/VyEngine.exe" ]; then
  echo "run_demo: VyEngine.exe is not built yet; nothing to run"
  exit 0
fi
cd "$root/samples/demo"
exec "$root/tools/wine-run.sh" "$build/bin/VyEngine.exe" "$@"
