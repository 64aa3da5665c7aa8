#!/usr/bin/env bash
# Builds both archs and runs every test under Wine in the chosen one (what CI
# runs). VY_ARCH=32|64 forces the arch; see tools/arch.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/tools/setup.sh" >/dev/null
. "$root/tools/arch.sh"
"$root/tools/build.sh"
# The other arch is built, not run, so that neither build rots.
echo "run_tests: building the $VY_OTHER_ARCH-bit build as well (not run)"
VY_ARCH=$VY_OTHER_ARCH "$root/tools/build.sh" >/dev/null
build=$VY_BUILD_DIR
. "$root/tools/wine-env.sh"
status=0
(cd "$build" && ctest --output-on-failure --timeout 1200 "$@") || status=$?
if [ "${CI:-}" = true ]; then
  wineserver -k >/dev/null 2>&1 || true
fi
exit $status
