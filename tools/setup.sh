#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine and
# fetches the third-party sources into the cache. Safe to run again: it only
# does what is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# Worktrees share one cache with the main checkout.
common=$(git -C "$here" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || echo "$here/.git")
cache=${VY_CACHE:-$(dirname "$common")/.cache}
mkdir -p "$cache"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

need_pkgs=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }
for p in g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth fonts-ipafont-gothic cmake googletest python3 dpkg-dev; do
  have "$p" || need_pkgs+=("$p")
done
if [ ${#need_pkgs[@]} -gt 0 ]; then
  echo "setup: installing ${need_pkgs[*]}"
  dpkg --print-foreign-architectures | grep -q i386 || as_root dpkg --add-architecture i386
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need_pkgs[@]}" >/dev/null
fi

# Source packages come through a deb-src list derived from the machine's own
# apt configuration, kept outside the repository and the system lists.
fetch_source() {  # package, marker glob
  local pkg=$1
  if ls "$cache/src/$pkg"_*.orig.tar.* >/dev/null 2>&1; then return; fi
  mkdir -p "$cache/src" "$cache/apt/lists/partial"
  local srclist="$cache/apt/sources.list"
  : > "$srclist"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    awk 'BEGIN{RS="";FS="\n"} {
      uri="";suites="";comp="";
      for(i=1;i<=NF;i++){ if($i~/^URIs:/){sub(/^URIs: */,"",$i);uri=$i}
        if($i~/^Suites:/){sub(/^Suites: */,"",$i);suites=$i}
        if($i~/^Components:/){sub(/^Components: */,"",$i);comp=$i} }
      n=split(suites,s," "); for(j=1;j<=n;j++) if(uri!="") print "deb-src [trusted=yes] " uri " " s[j] " " comp }' \
      /etc/apt/sources.list.d/debian.sources >> "$srclist"
  fi
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(\[[^]]*\] \)\?/deb-src [trusted=yes] /p' /etc/apt/sources.list >> "$srclist"
  fi
  local opts=(-o Dir::Etc::SourceList="$srclist" -o Dir::Etc::SourceParts=/dev/null
              -o Dir::State::Lists="$cache/apt/lists" -o APT::Get::AllowUnauthenticated=true -o APT::Sandbox::User=root)
  if [ ! -f "$cache/apt/updated" ]; then
    apt-get "${opts[@]}" update -qq
    touch "$cache/apt/updated"
  fi
  (cd "$cache/src" && apt-get "${opts[@]}" source --download-only -qq "$pkg")
}

unpack_source() {  # package, folder name
  local pkg=$1 dir=$2
  [ -d "$cache/$dir" ] && return
  local tarball
  tarball=$(ls "$cache/src/$pkg"_*.orig.tar.* | head -n1)
  local tmp="$cache/tmp.$$"
  rm -rf "$tmp"; mkdir -p "$tmp"
  tar -xf "$tarball" -C "$tmp"
  mv "$tmp"/* "$cache/$dir"
  rm -rf "$tmp"
}

exec 9>"$cache/.lock"
flock 9
fetch_source lua5.1
unpack_source lua5.1 lua-5.1
fetch_source libogg
unpack_source libogg libogg
fetch_source libvorbis
unpack_source libvorbis libvorbis
echo "$cache"
