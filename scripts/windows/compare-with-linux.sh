#!/usr/bin/env bash
# The Windows module against the Linux one, through zarn-host on both sides:
# for every test clip the same description, the same pictures (native size,
# smaller and larger, past the end) and the same sound (one request and
# consecutive ones), byte for byte. Both sides use the same FFmpeg and dav1d
# versions. Every clip but the few made not to import must import on both.
# One known difference: decoders that build their tables with the C
# library's sin, cos and pow at start-up (AAC, Opus) give samples that differ
# in the last bit or two, because Windows's math library rounds a few of those
# values differently from glibc's. Sound is therefore allowed to differ by
# at most SOUND_TOLERANCE (about -120 dB), and every clip that needed it is
# listed.
# Usage: compare-with-linux.sh WINEPREFIX WINDOWS_TOOL MEDIA_DIR [SHARD/SHARDS]
# With SHARD/SHARDS (e.g. 2/4) only every SHARDS-th clip from the SHARD-th
# (counting from 1) is compared, so several runs share the clips out.
# env: ZARN_LINUX_HOST, the Linux zarn-host (exit 77, skipped, when absent).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
prefix=$1 win_tool=$2 media=$3
shard_spec=${4:-1/1}
shard=${shard_spec%/*} shards=${shard_spec#*/}
linux_tool=${ZARN_LINUX_HOST:-}
if [ -z "$linux_tool" ] || [ ! -x "$linux_tool" ]; then
  echo "no Linux zarn-host (set ZARN_LINUX_HOST): skipped"
  exit 77
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
checked=0
SOUND_TOLERANCE=${SOUND_TOLERANCE:-1e-6}

# max_difference A B: the largest difference between two raw float files.
max_difference() {
  paste <(od -An -v -w4 -f "$1") <(od -An -v -w4 -f "$2") |
    awk '{ d = $1 - $2; if (d < 0) d = -d; if (d > m) m = d } END { printf "%.3g\n", m + 0 }'
}

# run SIDE OUTFILE ARGS...: the tool's output and exit status, for comparing.
# Windows paths go through drive Z:, where Wine maps /.
run() {
  local side=$1 out=$2
  shift 2
  if [ "$side" = linux ]; then
    "$linux_tool" "$@" >"$out" 2>/dev/null
  else
    local args=() a
    for a in "$@"; do
      case $a in /*) args+=("Z:$a") ;; *) args+=("$a") ;; esac
    done
    "$here/wine-run" "$prefix" "$win_tool" "${args[@]}" 2>/dev/null | tr -d '\r' >"$out"
  fi
  echo "exit $?" >>"$out"
}

# same NAME ARGS...: both sides run ARGS, writing under $tmp/<side>/NAME.
same() {
  local name=$1
  shift
  local side
  for side in linux windows; do
    mkdir -p "$tmp/$side/$name"
    run "$side" "$tmp/$side/$name.txt" "${@//@OUT@/$tmp/$side/$name/out}"
  done
  checked=$((checked + 1))
  cmp -s "$tmp/linux/$name.txt" "$tmp/windows/$name.txt" &&
    diff -r "$tmp/linux/$name" "$tmp/windows/$name" >/dev/null && return
  if [ "$1" = sound ] && cmp -s "$tmp/linux/$name.txt" "$tmp/windows/$name.txt" &&
     [ "$(stat -c %s "$tmp/linux/$name/out")" = "$(stat -c %s "$tmp/windows/$name/out")" ]; then
    local most
    most=$(max_difference "$tmp/linux/$name/out" "$tmp/windows/$name/out")
    if awk -v m="$most" -v t="$SOUND_TOLERANCE" 'BEGIN { exit !(m <= t) }'; then
      echo "sound within $most, not bit-identical: $name"
      return
    fi
  fi
  echo "FAIL: $name differs (${*//@OUT@/OUT})"
  fail=1
}

# Clips made not to import (no media in them, a stream no decoder reads, or
# only a stream that cannot be used): both sides must refuse them alike.
# Every other clip must import on both.
refused=" attachment_only.mkv empty.mkv header_cut.mkv killed_header.flv not_media.mkv no_audio_decoder.mkv no_video_decoder.mkv rate_over_1000_only.mkv sound_rate_0.mkv subtitles.mkv "

# The kinds of world frames are drawn into, one line each ("" is today's
# 8-bit world); every frame comparison runs once per kind.
worlds=(
  ""
  "--depth 16"
)

n=0
for clip in "$media"/*.mkv "$media"/*.flv; do
  n=$((n + 1))
  (( (n - 1) % shards == shard - 1 )) || continue
  base=$(basename "$clip")
  run linux "$tmp/$base.info" info "$clip"
  same "$base-info" info "$clip"
  if [[ $refused != *" $base "* ]] && ! grep -q '^exit 0$' "$tmp/$base.info"; then
    echo "FAIL: $base does not import: $(tr '\n' ' ' <"$tmp/$base.info")"
    fail=1
  fi
  if grep -q '"width"' "$tmp/$base.info"; then
    for world in "${worlds[@]}"; do
      w=(${world})   # "--depth 16" becomes two arguments
      tag=${world// /}
      same "$base-frames$tag" frame "$clip" --at 0/1,1/3,1/2,7/10,1/3,100/1 "${w[@]}" --format argb --out @OUT@
      same "$base-small$tag" frame "$clip" --at 2/5,0/1 --size 123x77 "${w[@]}" --format argb --out @OUT@
      same "$base-large$tag" frame "$clip" --at 1/1 --size 701x533 "${w[@]}" --format argb --out @OUT@
    done
  fi
  if grep -q '"sound"' "$tmp/$base.info"; then
    same "$base-sound" sound "$clip" --start 0/1 --samples 48000 --chunk 4410 --format f32 --out @OUT@
    same "$base-seek" sound "$clip" --start 7/5 --samples 20000 --format f32 --out @OUT@
  fi
done

echo "$checked comparisons"
[ $fail -eq 0 ] && echo "the Windows module delivers what the Linux module delivers"
exit $fail
