#!/usr/bin/env bash
# The bounce game side by side: VyEngine (each built arch the host runs) and,
# when `love` is installed, the same work in LÖVE, on the same display, taken
# in turn for each N and repeated; prints the median frame rates and ratios.
# Usage: bench/bounce.sh [repeats] [N...]   (default: 3 runs; 0 1000 3000 10000)
set -u
bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
repeats=${1:-3}; shift || true
counts=${*:-0 1000 3000 10000}
work=$(mktemp -d "${TMPDIR:-/tmp}/vy-bounce.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One 32x32 24-bit image both games load.
python3 - "$work/cell.bmp" <<'PY'
import struct, sys
w = h = 32
row = bytearray()
pixels = bytearray()
for y in range(h):
    for x in range(w):
        edge = x in (0, w - 1) or y in (0, h - 1)
        pixels += bytes((40, 40, 40) if edge else (8 * x, 8 * y, 200))
size = 54 + len(pixels)
head = b'BM' + struct.pack('<IHHI', size, 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(head + info + pixels)
PY

archs=()
for a in 32 64; do
  d=$root/build; [ $a = 64 ] && d=$root/build64
  [ -f "$d/bin/VyEngine.exe" ] || continue
  if [ $a = 32 ] && [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then continue; fi
  archs+=($a)
done
have_love=0; command -v love >/dev/null && have_love=1
[ ${#archs[@]} -gt 0 ] || { echo "bounce: no VyEngine.exe built"; exit 1; }

# A display for both: the one the Wine set-up starts or finds.
export VY_BUILD_DIR=$root/build; [ "${archs[0]}" = 64 ] && VY_BUILD_DIR=$root/build64
( . "$root/tools/wine-env.sh" >/dev/null 2>&1; echo "$DISPLAY" ) > "$work/display"
export DISPLAY=$(cat "$work/display")

# Prints the frame rate of one run ("-" when it failed).
run_vy() {  # arch n
  local d=$root/build; [ $1 = 64 ] && d=$root/build64
  local game=$work/vy$1
  rm -rf "$game"; cp -r "$bench/bounce/vy" "$game"
  mkdir -p "$game/graphic"; cp "$work/cell.bmp" "$game/graphic/"
  echo "$2" > "$game/actors.txt"
  ( cd "$game" && VY_BUILD_DIR=$d timeout 300 "$root/tools/wine-run.sh" "$d/bin/VyEngine.exe" >/dev/null 2>&1 )
  awk '{print $3}' "$game/result.txt" 2>/dev/null || echo -
}
run_love() {  # n
  local game=$work/love
  rm -rf "$game"; cp -r "$bench/bounce/love" "$game"; cp "$work/cell.bmp" "$game/"
  ( cd "$game" && SDL_AUDIODRIVER=dummy timeout 300 love "$game" "$1" 2>/dev/null ) | awk 'NF == 3 {print $3}' | tail -n1
}
median() { tr ' ' '\n' | grep -v '^-\?$' | sort -g | awk '{v[NR]=$1} END {print NR ? v[int((NR+1)/2)] : "-"}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {print (a == "-" || b == "-" || b == 0) ? "-" : sprintf("%.2f", a / b)}'; }

header=$(printf '%7s %10s' N "LÖVE fps")
for a in "${archs[@]}"; do header+=$(printf ' %11s %9s' "Vy$a fps" "ratio$a"); done
echo "median of $repeats runs each, taken in turn (FPS=1000, FRAMESKIP=0, 300 frames, 640x480)"
echo "$header"
for n in $counts; do
  declare -A got=()
  for ((r = 0; r < repeats; ++r)); do
    [ $have_love = 1 ] && got[love]+="$(run_love "$n") "
    for a in "${archs[@]}"; do got[$a]+="$(run_vy "$a" "$n") "; done
  done
  love_fps=-; [ $have_love = 1 ] && love_fps=$(echo "${got[love]}" | median)
  line=$(printf '%7s %10s' "$n" "$love_fps")
  for a in "${archs[@]}"; do
    v=$(echo "${got[$a]}" | median)
    line+=$(printf ' %11s %9s' "$v" "$(ratio "$v" "$love_fps")")
  done
  echo "$line"
  [ -n "${VERBOSE:-}" ] && declare -p got >&2
  unset got
done
