# Sourced: picks the arch to build and test, and the build folder of each.
#   VY_ARCH    32 or 64; without it, 32 where the host can run 32-bit
#              programs and 64 where it cannot
#   BUILD_DIR  the 32-bit build folder (default <repo>/build); the 64-bit one
#              is the same name with "64" appended
# Sets VY_ARCH, VY_OTHER_ARCH, VY_BUILD_DIR (chosen arch), VY_OTHER_BUILD_DIR.
vy_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Really start a 32-bit program: some kernels refuse them all ("Exec format
# error") although the packages install.
vy_host_runs_32() {
  [ -e /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

vy_build_dir_of() {  # arch
  local base=${BUILD_DIR:-$vy_root/build}
  case "$base" in /*) ;; *) base=$vy_root/$base ;; esac
  if [ "$1" = 64 ]; then echo "${base}64"; else echo "$base"; fi
}

case "${VY_ARCH:-}" in
  32|64) ;;
  "")
    if vy_host_runs_32; then
      VY_ARCH=32
    else
      VY_ARCH=64
      echo "this host cannot run 32-bit programs: testing the 64-bit build" >&2
    fi ;;
  *) echo "VY_ARCH must be 32 or 64, not '$VY_ARCH'" >&2; return 1 ;;
esac
if [ "$VY_ARCH" = 32 ]; then VY_OTHER_ARCH=64; else VY_OTHER_ARCH=32; fi
VY_BUILD_DIR=$(vy_build_dir_of "$VY_ARCH")
VY_OTHER_BUILD_DIR=$(vy_build_dir_of "$VY_OTHER_ARCH")
export VY_ARCH VY_BUILD_DIR
