#!/usr/bin/env bash
# Makes the benchmark media in OUTDIR (target bench_media; not part of the
# normal build). Pictures carry the same frame-number code and the sound the
# same per-channel sweeps as the test media (tests/media/make_media.sh).
#   h264_1080p.mkv   1920x1080 H.264, 3 B-frames, keyint 250, 25 fps, 10 s; AAC stereo 48 kHz:
#                    sequential play and seeks across long GOPs
#   hevc_1080p.mkv   1920x1080 HEVC, B-frames, keyint 250, 25 fps, 5 s, no sound
#   sound_51_60s.mkv 60 s of 5.1 AAC at 48 kHz, no picture: long sound reads
set -euo pipefail

out=${1:?usage: make_bench_media.sh OUTDIR}
mkdir -p "$out"
rm -f "$out/.stamp"
tmp=$(mktemp -d "$out/.work.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

ff() { ffmpeg -nostdin -y -loglevel error -threads 2 "$@"; }
exact=(-fflags +bitexact -flags +bitexact -map_metadata -1)

code=""
for i in 0 1 2 3 4 5 6 7 8 9; do
  bit="mod(floor(n/$((1 << i))),2)"
  code+=",drawbox=x=$i*iw/10:y=0:w=iw/10:h=ih/15:color=white:t=fill:enable='$bit'"
  code+=",drawbox=x=$i*iw/10:y=ih/15:w=iw/10:h=ih/15:color=white:t=fill:enable='eq($bit,0)'"
done
code="drawbox=x=0:y=0:w=iw:h=2*ih/15:color=black:t=fill$code"

sweep() { echo "$1*sin(2*PI*($2*t+($3)*t*t))"; }
stereo="$(sweep 0.5 220 10)|$(sweep 0.4 1800 -10)"
surround="$stereo|$(sweep 0.3 600 10)|$(sweep 0.3 50 2)|$(sweep 0.3 1000 10)|$(sweep 0.3 1400 -10)"

ff -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=10 \
  -f lavfi -i "aevalsrc=exprs=$stereo:channel_layout=stereo:sample_rate=48000:duration=10" \
  -vf "$code" -c:v libx264 -preset veryfast -crf 23 -bf 3 -g 250 -keyint_min 250 -sc_threshold 0 \
  -x264-params b-adapt=0 -pix_fmt yuv420p -c:a aac -b:a 128k "${exact[@]}" "$tmp/h264_1080p.mkv"
ff -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=5 -vf "$code" -c:v libx265 -preset ultrafast \
  -x265-params log-level=error:keyint=250:min-keyint=250:scenecut=0:bframes=3 \
  -pix_fmt yuv420p "${exact[@]}" "$tmp/hevc_1080p.mkv"
ff -f lavfi -i "aevalsrc=exprs=$surround:channel_layout=5.1:sample_rate=48000:duration=60" \
  -c:a aac -b:a 384k "${exact[@]}" "$tmp/sound_51_60s.mkv"

mv -f "$tmp"/* "$out"/
touch "$out/.stamp"
