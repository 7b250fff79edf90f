#!/usr/bin/env bash
# Builds FFmpeg for 64-bit Windows from Debian's source package, plus the
# GoogleTest the Windows tests link, into a cache folder outside the clone.
# The folder is keyed by the source version, the toolchain versions, the
# configure flags and this script, so a second run only checks the key.
# Prints the install prefix as the last line of its output.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache_root=${ZARN_FFMPEG_CACHE:-/var/cache/zarn-ffmpeg-win}
flags_file=$here/ffmpeg-configure-flags
jobs=${JOBS:-$(nproc)}

log() { echo "build-ffmpeg: $*" >&2; }

source_version() {
  { apt-cache showsrc ffmpeg 2>/dev/null || true; } | sed -n 's/^Version: //p' | {
    best=""
    while read -r v; do
      if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
    done
    echo "$best"
  } || true
}

# Adds deb-src entries mirroring the machine's Debian deb entries.
add_deb_src() {
  if [ "$(id -u)" -ne 0 ]; then
    log "FFmpeg's source package is not reachable: add a deb-src entry for your Debian suites and run 'apt-get update' (needs root)."
    exit 1
  fi
  local out=/etc/apt/sources.list.d/zarn-deb-src.sources
  log "adding deb-src entries ($out)"
  : > "$out.new"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Types:[^\n]*deb([ \n]|$)/ && /debian/ && !/(^|\n)Enabled: *no/ {
           sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >> "$out.new"
  done
  if [ -f /etc/apt/sources.list ]; then
    # One-line format: turn each "deb ..." line into a deb822 stanza.
    awk '$1 == "deb" && /debian/ {
           i = 2; opts = ""
           if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
           printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i+1)
           for (j = i + 2; j <= NF; j++) printf " %s", $j
           printf "\n\n" }' /etc/apt/sources.list >> "$out.new"
  fi
  mv "$out.new" "$out"
  apt-get update -qq
}

version=$(source_version)
if [ -z "$version" ]; then
  add_deb_src
  version=$(source_version)
fi
[ -n "$version" ] || { log "no source package for ffmpeg found"; exit 1; }

# Bump when the build steps below change in a way that changes the result.
recipe=1
gtest_src=/usr/src/googletest
key_input=$(
  echo "recipe $recipe"
  echo "ffmpeg $version"
  x86_64-w64-mingw32-gcc-posix --version | head -1
  dpkg-query -W -f='${Package} ${Version}\n' mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix googletest 2>/dev/null || true
  cat "$flags_file"
)
key="${version#*:}-$(printf '%s' "$key_input" | sha256sum | cut -c1-16)"
prefix=$cache_root/$key

if [ -f "$prefix/.complete" ]; then
  log "cached: $prefix"
  echo "$prefix"
  exit 0
fi

log "building FFmpeg $version for Windows into $prefix"
mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"   # apt-get source downloads as the _apt user

( cd "$work" && apt-get source -qq --only-source "ffmpeg=$version" >/dev/null 2>"$work/source.log" ) || {
  cat "$work/source.log" >&2; exit 1; }
src=$(find "$work" -maxdepth 1 -type d -name 'ffmpeg-*' | head -1)
stage=$work/stage

mapfile -t flags < <(sed -e 's/#.*//' -e 's/[[:space:]]*$//' "$flags_file" | grep -v '^$')
( cd "$src" && ./configure --prefix="$prefix" "${flags[@]}" > "$work/configure.log" 2>&1 ) || {
  tail -30 "$work/configure.log" >&2; log "configure failed"; exit 1; }
log "configured; compiling with $jobs jobs"
make -C "$src" -j"$jobs" > "$work/make.log" 2>&1 || { tail -40 "$work/make.log" >&2; exit 1; }
make -C "$src" install DESTDIR="$stage" > /dev/null

# GoogleTest for the Windows test programs, from Debian's source copy.
cmake -S "$gtest_src" -B "$work/gtest" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" > "$work/gtest.log" 2>&1 &&
cmake --build "$work/gtest" -j"$jobs" >> "$work/gtest.log" 2>&1 &&
DESTDIR="$stage" cmake --install "$work/gtest" >> "$work/gtest.log" 2>&1 || {
  tail -30 "$work/gtest.log" >&2; log "GoogleTest build failed"; exit 1; }

# Relocatable pkg-config files: the cache folder may be moved or renamed.
sed -i "s|$prefix|\${pcfiledir}/../..|g" "$stage$prefix"/lib/pkgconfig/*.pc

# Publish atomically: a half-built cache never looks complete.
rm -rf "$prefix"
mv "$stage$prefix" "$prefix"
touch "$prefix/.complete"
log "done: $prefix"
echo "$prefix"
