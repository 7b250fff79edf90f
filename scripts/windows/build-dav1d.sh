#!/usr/bin/env bash
# Builds dav1d (the AV1 decoder FFmpeg links) for 64-bit Windows as a static
# library from Debian's source package, into a cache folder beside FFmpeg's.
# The folder is keyed by the source version, the toolchain and build tool
# versions, the cross file and the options, so a second run only checks the
# key. Prints the install prefix as the last line of its output.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache_root=${ZARN_FFMPEG_CACHE:-/var/cache/zarn-ffmpeg-win}
cross_file=$here/meson-cross-mingw64.ini
jobs=${JOBS:-$(nproc)}

log() { echo "build-dav1d: $*" >&2; }
. "$here/debian-source.sh"

version=$(require_source_version dav1d)

# Only the library: no tools, tests or examples (they would need Wine to
# configure). Both bit depths, as Debian builds it.
options=(--buildtype=release --default-library=static --libdir=lib
  -Denable_tools=false -Denable_tests=false -Denable_examples=false -Denable_docs=false
  -Dbitdepths=8,16 -Denable_asm=true)
# Bump when the build steps below change in a way that changes the result.
recipe=1
key_input=$(
  echo "recipe $recipe"
  echo "dav1d $version"
  toolchain_identity meson ninja-build nasm
  cat "$cross_file"
  printf '%s\n' "${options[@]}"
)
key="dav1d-${version#*:}-$(printf '%s' "$key_input" | sha256sum | cut -c1-16)"
prefix=$cache_root/$key

if [ -f "$prefix/.complete" ]; then
  log "cached: $prefix"
  echo "$prefix"
  exit 0
fi

log "building dav1d $version for Windows into $prefix"
mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
src=$(fetch_source dav1d "$version" "$work")
stage=$work/stage

meson setup "$work/build" "$src" --cross-file "$cross_file" --prefix="$prefix" "${options[@]}" \
  > "$work/meson.log" 2>&1 || { tail -30 "$work/meson.log" >&2; log "meson setup failed"; exit 1; }
ninja -C "$work/build" -j"$jobs" > "$work/ninja.log" 2>&1 || { tail -40 "$work/ninja.log" >&2; exit 1; }
DESTDIR="$stage" meson install -C "$work/build" > /dev/null
# Its license travels with the library (the module's notice points to it).
install -D -m 644 "$src/COPYING" "$stage$prefix/share/doc/dav1d/COPYING"

# Relocatable pkg-config file: the cache folder may be moved or renamed.
sed -i "s|$prefix|\${pcfiledir}/../..|g" "$stage$prefix"/lib/pkgconfig/dav1d.pc

# Publish atomically: a half-built cache never looks complete.
rm -rf "$prefix"
mv "$stage$prefix" "$prefix"
touch "$prefix/.complete"
log "done: $prefix"
echo "$prefix"
