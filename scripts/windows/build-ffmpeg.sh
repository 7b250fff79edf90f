#!/usr/bin/env bash
# Builds FFmpeg for 64-bit Windows from Debian's source package, with dav1d
# (build-dav1d.sh) and the GoogleTest the Windows tests link, into a cache
# folder outside the clone. The folder is keyed by the source version, the
# toolchain versions, dav1d's key, the configure flags and the recipe below,
# so a second run only checks the key.
# Prints the install prefix as the last line of its output.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache_root=${ZARN_FFMPEG_CACHE:-/var/cache/zarn-ffmpeg-win}
flags_file=$here/ffmpeg-configure-flags
jobs=${JOBS:-$(nproc)}

log() { echo "build-ffmpeg: $*" >&2; }

. "$here/debian-source.sh"

version=$(require_source_version ffmpeg)
# AV1 comes from dav1d, built first into its own cache folder; its key is
# part of FFmpeg's.
dav1d=$("$here/build-dav1d.sh" | tail -1)

# Bump when the build steps below change in a way that changes the result.
recipe=1
gtest_src=/usr/src/googletest
key_input=$(
  echo "recipe $recipe"
  echo "ffmpeg $version"
  echo "$(basename "$dav1d")"
  toolchain_identity googletest libz-mingw-w64-dev
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
src=$(fetch_source ffmpeg "$version" "$work")
stage=$work/stage

mapfile -t flags < <(sed -e 's/#.*//' -e 's/[[:space:]]*$//' "$flags_file" | grep -v '^$')
# pkg-config sees dav1d and nothing of the Linux machine.
( cd "$src" && PKG_CONFIG_LIBDIR="$dav1d/lib/pkgconfig" PKG_CONFIG_PATH="" ./configure --prefix="$prefix" "${flags[@]}" > "$work/configure.log" 2>&1 ) || {
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

# dav1d's and zlib's static libraries and licenses join FFmpeg's, so the
# folder is complete on its own. zlib must be found here: in the toolchain's
# folder CMake's library search prefers the import library of zlib1.dll.
# Relocatable pkg-config files: the cache folder may be moved or renamed (the
# dav1d path FFmpeg recorded now points into this folder too).
cp "$dav1d/lib/libdav1d.a" /usr/x86_64-w64-mingw32/lib/libz.a "$stage$prefix/lib/"
install -D -m 644 "$dav1d/share/doc/dav1d/COPYING" "$stage$prefix/share/doc/dav1d/COPYING"
install -D -m 644 /usr/share/doc/libz-mingw-w64-dev/copyright "$stage$prefix/share/doc/zlib/copyright"
sed -i -e "s|$prefix|\${pcfiledir}/../..|g" -e "s|$dav1d|\${pcfiledir}/../..|g" \
  "$stage$prefix"/lib/pkgconfig/*.pc

# Publish atomically: a half-built cache never looks complete.
rm -rf "$prefix"
mv "$stage$prefix" "$prefix"
touch "$prefix/.complete"
log "done: $prefix"
echo "$prefix"
