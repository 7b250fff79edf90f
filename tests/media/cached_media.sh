#!/usr/bin/env bash
# Points OUTDIR at the test media, made once per machine by make_media.sh and
# kept outside the clone: in ZARN_MEDIA_CACHE (default
# /var/cache/zarn-test-media, or ~/.cache/zarn-test-media when that cannot be
# written), in a folder named by a hash of make_media.sh and of the versions
# of ffmpeg and its encoder libraries. Every build tree (plain, sanitizers,
# fuzz, Windows) links to the same folder, so the clips are encoded once.
# The folder is made under a temporary name and renamed when complete, under
# a lock, so runs side by side never see half of it.
# Usage: cached_media.sh OUTDIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: cached_media.sh OUTDIR}

root=${ZARN_MEDIA_CACHE:-/var/cache/zarn-test-media}
if ! mkdir -p "$root" 2>/dev/null || [ ! -w "$root" ]; then
  root=${XDG_CACHE_HOME:-$HOME/.cache}/zarn-test-media
  mkdir -p "$root"
fi

# What decides the bytes of the clips: the script, ffmpeg's own build and the
# libraries it loads, encoders included (a library that an update replaced
# has another size or time).
key=$({
  cat "$here/make_media.sh"
  ffmpeg -hide_banner -version 2>&1 || true
  ldd "$(command -v ffmpeg)" 2>/dev/null | awk '$3 ~ /^\// { print $3 }' | sort -u |
    xargs -r stat -L -c '%n %s %Y' 2>/dev/null || true
} | sha256sum | cut -c1-16)
dir=$root/$key

if [ ! -f "$dir/.stamp" ]; then
  (
    flock 9
    if [ ! -f "$dir/.stamp" ]; then
      rm -rf "$dir"
      work=$(mktemp -d "$root/.making-$key.XXXXXX")
      trap 'rm -rf "$work"' EXIT
      "$here/make_media.sh" "$work"
      chmod 755 "$work"
      mv -T "$work" "$dir"
      trap - EXIT
    fi
  ) 9>"$root/$key.lock"
fi

# A folder left by an older build (made in place) gives way to the link.
if [ -d "$out" ] && [ ! -L "$out" ]; then rm -rf "$out"; fi
mkdir -p "$(dirname "$out")"
ln -sfn "$dir" "$out"
echo "test media: $dir"
