# Sourced: sets up the Wine environment for one build folder and makes sure a
# display and a persistent wineserver are there.
#   VY_BUILD_DIR  the build folder (default: <repo>/build)
vy_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VY_BUILD_DIR=${VY_BUILD_DIR:-${BUILD_DIR:-$vy_root/build}}
case "$VY_BUILD_DIR" in /*) ;; *) VY_BUILD_DIR=$vy_root/$VY_BUILD_DIR ;; esac
mkdir -p "$VY_BUILD_DIR/wine/home"
# The build folder knows its arch; each arch has its own prefix, since a
# prefix made by one arch is not usable by the other.
if grep -q 'mingw-x86_64' "$VY_BUILD_DIR/CMakeCache.txt" 2>/dev/null; then
  vy_wine_arch=64
elif [ -f "$VY_BUILD_DIR/CMakeCache.txt" ]; then
  vy_wine_arch=32
else
  vy_wine_arch=${VY_ARCH:-32}
fi
export WINEPREFIX=$VY_BUILD_DIR/wine/prefix
export WINEDEBUG=${WINEDEBUG:--all}
if [ "$vy_wine_arch" = 64 ]; then
  # /usr/bin/wine would pick the 32-bit loader wherever that file exists,
  # even on hosts whose kernel refuses to start it.
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  VY_WINE=/usr/lib/wine/wine64
else
  export WINEARCH=win32
  unset WINELOADER
  VY_WINE=wine
fi
export VY_WINE
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
# Private HOME so the ALSA file sink below is ours.
export HOME=$VY_BUILD_DIR/wine/home
export VY_SOUND_SINK=${VY_SOUND_SINK:-$HOME/sound.raw}
cat > "$HOME/.asoundrc" <<ASOUND
pcm.!default { type file slave.pcm "null" file "$VY_SOUND_SINK" format "raw" }
pcm.null { type null }
ASOUND

vy_lock() { exec 8>"$VY_BUILD_DIR/wine/.lock"; flock -w 300 8; }
vy_unlock() { flock -u 8; exec 8>&-; }

# True when an X server answers on display $1 (":N"). A socket file alone
# proves nothing: a killed Xvfb leaves its socket and lock file behind.
vy_display_alive() {
  local n=${1#:}
  n=${n%%.*}
  [ -S /tmp/.X11-unix/X$n ] || return 1
  timeout 5 python3 -c 'import socket,sys
s=socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])' /tmp/.X11-unix/X$n 2>/dev/null
}

# A display: the caller's if it answers, or our own Xvfb shared by every
# build folder.
if [ -z "${DISPLAY:-}" ] || ! vy_display_alive "$DISPLAY"; then
  export DISPLAY=:${VY_XVFB_DISPLAY:-97}
  n=${DISPLAY#:}
  if ! vy_display_alive "$DISPLAY"; then
    exec 7>/tmp/vy-xvfb-$n.lock
    flock -w 60 7
    if ! vy_display_alive "$DISPLAY"; then
      rm -f /tmp/.X$n-lock /tmp/.X11-unix/X$n
      setsid Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
      for _ in $(seq 100); do vy_display_alive "$DISPLAY" && break; sleep 0.1; done
    fi
    flock -u 7; exec 7>&-
  fi
  if ! vy_display_alive "$DISPLAY"; then
    echo "wine-env: no X display could be started on $DISPLAY" >&2
  fi
fi

# A prefix folder deleted and made again keeps its path, and the services of
# the deleted one may still run: theirs is the deleted folder, not this one.
vy_services_up() {
  local pid
  for pid in $(pgrep -f 'system32.services\.exe' 2>/dev/null); do
    tr '\0' '\n' < /proc/$pid/environ 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in *" (deleted)") continue ;; esac
    return 0
  done
  return 1
}

# Japanese interface texts (menus, captions, message boxes) draw with the
# system's Latin fonts; link those to the Japanese font for the glyphs they
# lack, as a Japanese system does.
vy_font_links() {
  local ipa=ipag.ttf,IPAGothic f
  for f in "Tahoma" "Tahoma Bold" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI"; do
    "$VY_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$f" /t REG_MULTI_SZ /d "$ipa" /f </dev/null >/dev/null 2>&1 || return 1
  done
}

# Makes a new prefix; on failure says why and answers false.
vy_make_prefix() {
  local log=$VY_BUILD_DIR/wine/wineboot.log
  if ! timeout 300 "$VY_WINE" wineboot -i </dev/null >"$log" 2>&1 || [ ! -e "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
    echo "wine-env: could not make the Wine prefix $WINEPREFIX ($vy_wine_arch-bit, loader $VY_WINE):" >&2
    tail -n 5 "$log" | sed 's/^/  /' >&2
    if [ "$vy_wine_arch" = 32 ] && [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
      echo "  this host cannot run 32-bit programs: use VY_ARCH=64" >&2
    fi
    return 1
  fi
  # A crashing program ends with its exception: no debugger, no dialog.
  "$VY_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
  "$VY_WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f </dev/null >/dev/null 2>&1 || true
  vy_font_links && touch "$WINEPREFIX/.vy-font-links" || echo "wine-env: could not link the Japanese font in $WINEPREFIX" >&2
  touch "$WINEPREFIX/.vy-ready"
}

vy_lock
# A persistent server keeps the prefix's services alive between programs, so
# later starts are fast; they are started here with no pipes of the caller's
# (a test runner would otherwise wait for them to close).
vy_env_ok=0
if ! vy_services_up || [ ! -f "$WINEPREFIX/.vy-ready" ]; then
  setsid wineserver -p </dev/null >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/.vy-ready" ]; then
    vy_make_prefix || vy_env_ok=1
  else
    timeout 120 "$VY_WINE" wineboot </dev/null >/dev/null 2>&1 || true
  fi
fi
# Prefixes made before the font links existed get them once.
if [ $vy_env_ok = 0 ] && [ -f "$WINEPREFIX/.vy-ready" ] && [ ! -f "$WINEPREFIX/.vy-font-links" ]; then
  vy_font_links && touch "$WINEPREFIX/.vy-font-links" || echo "wine-env: could not link the Japanese font in $WINEPREFIX" >&2
fi
vy_unlock
[ $vy_env_ok = 0 ]
