#!/usr/bin/env bash
# Makes the benchmark media in OUTDIR (target bench_media; not part of the
# normal build). Pictures carry the same frame-number code and the sound the
# same per-channel sweeps as the test media (tests/media/make_media.sh).
#   h264_1080p.mkv   1920x1080 H.264, 3 B-frames, keyint 250, 25 fps, 10 s; AAC stereo 48 kHz:
#                    the source of the 1 GiB recordings below
#   h264_1080p_60s.mkv  the same, 60 s: playback and random access over many key frames
#   hevc_1080p_60s.mkv  1920x1080 HEVC, 3 B-frames, keyint 250, 25 fps, 60 s, no sound
#   hevc10_4k_20s.mkv   3840x2160 HEVC Main 10 (yuv420p10le), keyint 250, 25 fps, 20 s:
#                    playback into 8-bit and deep worlds
#   sound_51_60s.mkv 60 s of 5.1 AAC at 48 kHz, no picture: long sound reads
#   recording_1g.mkv, recording_1g_killed.mkv  about 1 GiB of the 1080p H.264 clip looped
#                    (stream copy): written whole, and written to a pipe as a recorder
#                    leaves it (no duration, no cues) and cut at 85 % of its bytes
set -euo pipefail

out=${1:?usage: make_bench_media.sh OUTDIR}
mkdir -p "$out"
rm -f "$out/.stamp"
tmp=$(mktemp -d "$out/.work.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

FF_THREADS=2
# shellcheck source=../tests/media/make_media.sh
source "$(dirname "$0")/../tests/media/make_media.sh"

ff -f lavfi -i "$(video 1920x1080 25 10)" -f lavfi -i "$(sound stereo 48000 10)" \
  -vf "$code" -c:v libx264 -preset veryfast -crf 23 -bf 3 -g 250 -keyint_min 250 -sc_threshold 0 \
  -x264-params b-adapt=0 -pix_fmt yuv420p -c:a aac -b:a 128k "${exact[@]}" "$tmp/h264_1080p.mkv"
ff -f lavfi -i "$(video 1920x1080 25 60)" -f lavfi -i "$(sound stereo 48000 60)" \
  -vf "$code" -c:v libx264 -preset veryfast -crf 23 -bf 3 -g 250 -keyint_min 250 -sc_threshold 0 \
  -x264-params b-adapt=0 -pix_fmt yuv420p -c:a aac -b:a 128k "${exact[@]}" "$tmp/h264_1080p_60s.mkv"
ff -f lavfi -i "$(video 1920x1080 25 60)" -vf "$code" -c:v libx265 -preset ultrafast \
  -x265-params log-level=error:keyint=250:min-keyint=250:scenecut=0:bframes=3 \
  -pix_fmt yuv420p "${exact[@]}" "$tmp/hevc_1080p_60s.mkv"
ff -f lavfi -i "$(video 3840x2160 25 20)" -vf "$code" -c:v libx265 -preset ultrafast \
  -x265-params log-level=error:keyint=250:min-keyint=250:scenecut=0:bframes=3 \
  -pix_fmt yuv420p10le "${exact[@]}" "$tmp/hevc10_4k_20s.mkv"
ff -f lavfi -i "$(sound 5.1 48000 60)" \
  -c:a aac -b:a 384k "${exact[@]}" "$tmp/sound_51_60s.mkv"

# Loops of the 10-second clip to make about 1 GiB.
loops=$(( (1 << 30) / $(stat -c %s "$tmp/h264_1080p.mkv") ))
ff -stream_loop "$loops" -i "$tmp/h264_1080p.mkv" -map 0 -c copy "${exact[@]}" "$tmp/recording_1g.mkv"
ff -stream_loop "$loops" -i "$tmp/h264_1080p.mkv" -map 0 -c copy "${exact[@]}" -f matroska - |
  cat >"$tmp/piped.mkv"
head -c $(( $(stat -c %s "$tmp/piped.mkv") * 85 / 100 )) "$tmp/piped.mkv" >"$tmp/recording_1g_killed.mkv"
rm -f "$tmp/piped.mkv"

mv -f "$tmp"/* "$out"/
touch "$out/.stamp"
