#!/usr/bin/env bash
# Runs one Windows program under our Wine set-up; the exit code is the program's.
set -u
exe=$1; shift
if [ -z "${VY_BUILD_DIR:-}" ] && [ -z "${BUILD_DIR:-}" ]; then
  # The build folder is the nearest parent of the program holding CMakeCache.txt.
  d=$(cd "$(dirname "$exe")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  [ "$d" != / ] && export VY_BUILD_DIR=$d
fi
. "$(dirname "$0")/wine-env.sh" || exit 1
# Output goes through a file: processes Wine starts in the background must not
# hold the caller's pipes open.
out=$(mktemp "${TMPDIR:-/tmp}/vy-run.XXXXXX")
"$VY_WINE" "$exe" "$@" >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
