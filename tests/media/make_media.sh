#!/usr/bin/env bash
# Makes the test media in OUTDIR with Debian's ffmpeg command. Run by the
# build (target test_media); writes OUTDIR/.stamp last, so a failed run is
# redone on the next build. Every clip is made anew on each run.
#
# Pictures: testsrc2's moving colours with the frame number N drawn over the
# top band as a 10-bit code that survives lossy coding (see
# tests/support/frame_code.h): bit i (i = 0 leftmost) is a block W/10 wide;
# the first row of blocks (height H/15) is white for 1 and black for 0, the
# second row just below holds the complement, so a black or blank picture
# reads as no code at all. No fonts are needed.
# Sound: distinct sweeps per channel so a misplaced or swapped sample shows:
# left rises from 220 Hz, right falls from 1800 Hz (+/- 20 Hz per second),
# the other 5.1 channels sweep from their own start frequencies. Nothing
# starts silent.
#
# Clips (320x240 unless said) and what they are for:
#   h264_aac.mkv      H.264 (3 B-frames, keyint 24) 25 fps 3 s, AAC stereo 48 kHz:
#                     the everyday clip
#   h264_mp3.flv      H.264 B-frames keyint 30, 30000/1001 fps 3 s, MP3 stereo 44.1 kHz:
#                     FLV's decode-time index, NTSC rate
#   h264_aac.flv      H.264 B-frames keyint 25, 25 fps 3 s, AAC stereo 44.1 kHz
#   hevc.mkv          HEVC B-frames keyint 24, 24000/1001 fps 2 s, no sound
#   vp9_opus.mkv      VP9 keyint 25, 25 fps 2 s, Opus stereo 48 kHz (pre-roll)
#   mpeg4.mkv         MPEG-4 part 2 B-frames keyint 12, 25 fps 2 s, AC-3 stereo 48 kHz
#   silent.mkv        H.264 25 fps 2 s, no sound
#   two_streams.mkv   streams: audio A (AAC stereo 48 kHz), video V1 (H.264 320x240),
#                     audio B (MP3 mono 22.05 kHz), video V2 (MPEG-4 160x120), 2 s:
#                     the first of each kind is V1 and A
#   subtitles.mkv     one SRT subtitle stream, nothing else
#   truncated.mkv     h264_aac.mkv cut at 40 % of its bytes: opens, ends early
#   header_cut.mkv    the first 200 bytes of h264_aac.mkv: does not open
#   not_media.mkv     plain text
#   empty.mkv         no bytes at all
#   hd_bt709.mkv      1280x720 H.264 tagged BT.709 limited range, 25 fps 0.4 s
#   mjpeg_full.mkv    MJPEG yuvj420p (full range), 25 fps 0.4 s
#   bt601_sd.mkv      320x240 H.264 without colour tags (the BT.601 rule), 25 fps 0.4 s
#   pcm_s16_48k.mkv pcm_f32_51.mkv flac_44k.mkv flac_mono_22k.mkv aac_48k.mkv
#   mp3_44k.mkv ac3_51.mkv opus_48k.mkv vorbis_44k.mkv aac_44k.flv mp3_22k.flv
#                     sound only, 5 s each: stereo unless the name says 51 (5.1) or mono
#   rate_over_1000.mkv  H.264 with uneven timestamps in an MPEG-TS stream (FFmpeg finds
#                     it by content, not by name) at 1/90000: FFmpeg guesses r_frame_rate
#                     90000/1; AAC stereo 48 kHz, 2 s. The video must be refused.
#   rate_1000.mkv     the same stream copied into Matroska (1/1000): r_frame_rate 1000/1,
#                     which must still be accepted
#   no_video_decoder.mkv  h264_aac.mkv with the video's codec id renamed to one no decoder
#   no_audio_decoder.mkv  knows ("V_ZARN/NO/CODEC"), resp. the sound's ("A_ZRN")
#   cover_art.mkv     MP3 (found by content) with an ID3 cover picture: the picture is
#                     an attached-picture video stream, not footage; 1 s
#   no_duration.mkv   raw H.264 (found by content): the container has no duration
#   no_picture_size.mkv  MPEG-4 64x48 25 fps 1 s with PCM s16 mono 48 kHz, the video's
#                     size patched to 0x0 and its decoder configuration broken, so
#                     nothing can size the picture; the sound is fine
#   no_sound_rate.mkv the same file with the sound's sampling frequency patched to 0
#   sound_rate_0.mkv  only PCM sound, its sampling frequency patched to 0
#   long_gop_h264.mkv   160x120 H.264 (3 B-frames) keyint 100, 25 fps 8 s, no sound: steps
#                     back through long groups of pictures
#   long_gop_hevc.mkv   the same in HEVC with open GOPs (x265 open-gop, keyint 100, 3 B-frames)
#   long_gop.flv        the long_gop_h264 picture in FLV (indexed by decode time)
#   vp8_vorbis.mkv    VP8 keyint 25, 25 fps 2 s, Vorbis stereo 44.1 kHz: varying sound
#                     frame sizes between pictures
#   sync_WHEN.mkv, sync_WHEN.flv  picture and sound that start apart: 160x120 H.264
#                     (no B-frames) 20 fps, black but for frame 20 of the video source,
#                     all white; silence but for one sample of 0.9 (both channels) in
#                     the sound source at the same instant of the file, M = the video's
#                     start + 1 s. PCM s16 stereo (FLAC in sync_before.mkv), 48 kHz in
#                     Matroska, 44.1 kHz in FLV; 2 s each. WHEN: the sound starts
#                       after    0.5 s after the picture   (video 0, sound 0.5 s; M = 1 s)
#                       before   0.5 s before the picture  (video 0.5 s, sound 0; M = 1.5 s)
#                       frame    one frame after           (video 0, sound 0.05 s; M = 1 s)
#                       together with the picture          (both 0; M = 1 s)
#                     The file's own start is 0 in every case.
#
# bench/make_bench_media.sh sources this file for ff, exact, code, video and
# sound; sourced, it makes nothing.
set -euo pipefail

# One encoder thread keeps x264's and x265's output the same on every machine.
FF_THREADS=${FF_THREADS:-1}
ff() { ffmpeg -nostdin -y -loglevel error -threads "$FF_THREADS" "$@"; }
# Output options that keep a clip byte-identical from run to run.
exact=(-fflags +bitexact -flags +bitexact -map_metadata -1)

# The frame-number code over the top two bands (see the header).
code=""
for i in 0 1 2 3 4 5 6 7 8 9; do
  bit="mod(floor(n/$((1 << i))),2)"
  code+=",drawbox=x=$i*iw/10:y=0:w=iw/10:h=ih/15:color=white:t=fill:enable='$bit'"
  code+=",drawbox=x=$i*iw/10:y=ih/15:w=iw/10:h=ih/15:color=white:t=fill:enable='eq($bit,0)'"
done
code="drawbox=x=0:y=0:w=iw:h=2*ih/15:color=black:t=fill$code"

# video SIZE RATE SECONDS [SOURCE]: a lavfi input of the coded picture.
video() { echo "${4:-testsrc2}=size=$1:rate=$2:duration=$3"; }

# Per-channel sweeps: phase 2*pi*(f0*t + k*t^2) runs from f0 at 2k Hz per second.
sweep() { echo "$1*sin(2*PI*($2*t+($3)*t*t))"; }
L=$(sweep 0.5 220 10)
R=$(sweep 0.4 1800 -10)
C=$(sweep 0.3 600 10)
LFE=$(sweep 0.3 50 2)
BL=$(sweep 0.3 1000 10)
BR=$(sweep 0.3 1400 -10)
MONO_B=$(sweep 0.5 440 30)
# sound LAYOUT RATE SECONDS: a lavfi input of the sound.
sound() {
  local exprs
  case $1 in
    mono) exprs=$L ;;
    mono_b) exprs=$MONO_B; set -- mono "$2" "$3" ;;
    stereo) exprs="$L|$R" ;;
    5.1) exprs="$L|$R|$C|$LFE|$BL|$BR" ;;
  esac
  echo "aevalsrc=exprs=$exprs:channel_layout=$1:sample_rate=$2:duration=$3"
}

x264() {  # x264 with fixed B-frames and key interval, no scene cuts: KEYINT
  echo "-c:v libx264 -preset veryfast -crf 20 -bf 3 -g $1 -keyint_min $1 -sc_threshold 0
        -x264-params b-adapt=0 -pix_fmt yuv420p"
}

clip_h264_aac_mkv() {
  ff -f lavfi -i "$(video 320x240 25 3)" -f lavfi -i "$(sound stereo 48000 3)" \
    -vf "$code" $(x264 24) -c:a aac -b:a 128k "${exact[@]}" "$tmp/h264_aac.mkv"
  local size
  size=$(stat -c %s "$tmp/h264_aac.mkv")
  head -c $((size * 40 / 100)) "$tmp/h264_aac.mkv" >"$tmp/truncated.mkv"
  head -c 200 "$tmp/h264_aac.mkv" >"$tmp/header_cut.mkv"
  # Same-length renames of the codec ids; without CRC elements nothing else changes.
  ff -i "$tmp/h264_aac.mkv" -map 0 -c copy -write_crc32 0 "${exact[@]}" "$tmp/plain.mkv"
  perl -0777 -pe 's{V_MPEG4/ISO/AVC}{V_ZARN/NO/CODEC}' "$tmp/plain.mkv" >"$tmp/no_video_decoder.mkv"
  perl -0777 -pe 's{A_AAC}{A_ZRN}' "$tmp/plain.mkv" >"$tmp/no_audio_decoder.mkv"
  cmp -s "$tmp/plain.mkv" "$tmp/no_video_decoder.mkv" && { echo "video codec id not renamed" >&2; return 1; }
  cmp -s "$tmp/plain.mkv" "$tmp/no_audio_decoder.mkv" && { echo "audio codec id not renamed" >&2; return 1; }
  rm -f "$tmp/plain.mkv"
}
clip_h264_mp3_flv() {
  ff -f lavfi -i "$(video 320x240 30000/1001 3)" -f lavfi -i "$(sound stereo 44100 3)" \
    -vf "$code" $(x264 30) -c:a libmp3lame -b:a 128k "${exact[@]}" "$tmp/h264_mp3.flv"
}
clip_h264_aac_flv() {
  ff -f lavfi -i "$(video 320x240 25 3)" -f lavfi -i "$(sound stereo 44100 3)" \
    -vf "$code" $(x264 25) -c:a aac -b:a 128k "${exact[@]}" "$tmp/h264_aac.flv"
}
clip_hevc_mkv() {
  ff -f lavfi -i "$(video 320x240 24000/1001 2)" -vf "$code" -c:v libx265 -preset ultrafast \
    -x265-params log-level=error:keyint=24:min-keyint=24:scenecut=0:bframes=3:b-adapt=0:pools=1:frame-threads=1 \
    -pix_fmt yuv420p "${exact[@]}" "$tmp/hevc.mkv"
}
clip_vp9_opus_mkv() {
  ff -f lavfi -i "$(video 320x240 25 2)" -f lavfi -i "$(sound stereo 48000 2)" -vf "$code" \
    -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 400k -g 25 -keyint_min 25 -pix_fmt yuv420p \
    -c:a libopus -b:a 96k "${exact[@]}" "$tmp/vp9_opus.mkv"
}
clip_mpeg4_mkv() {
  ff -f lavfi -i "$(video 320x240 25 2)" -f lavfi -i "$(sound stereo 48000 2)" -vf "$code" \
    -c:v mpeg4 -q:v 3 -bf 2 -g 12 -pix_fmt yuv420p -c:a ac3 -b:a 192k "${exact[@]}" "$tmp/mpeg4.mkv"
}
clip_silent_mkv() {
  ff -f lavfi -i "$(video 320x240 25 2)" -vf "$code" $(x264 24) "${exact[@]}" "$tmp/silent.mkv"
}
clip_two_streams_mkv() {
  ff -f lavfi -i "$(sound stereo 48000 2)" -f lavfi -i "$(video 320x240 25 2)" \
    -f lavfi -i "$(sound mono_b 22050 2)" -f lavfi -i "$(video 160x120 25 2 testsrc)" \
    -filter_complex "[1:v]$code[v1];[3:v]$code[v2]" \
    -map 0:a -map '[v1]' -map 2:a -map '[v2]' \
    -c:a:0 aac -b:a:0 128k -c:v:0 libx264 -preset veryfast -crf 20 -bf 3 -g 24 -sc_threshold 0 \
    -c:a:1 libmp3lame -b:a:1 64k -c:v:1 mpeg4 -q:v:1 3 -bf:v:1 2 -g:v:1 12 \
    -pix_fmt yuv420p "${exact[@]}" "$tmp/two_streams.mkv"
}
clip_cover_art_mkv() {
  ff -f lavfi -i "$(sound stereo 44100 1)" -f lavfi -i "$(video 64x64 1 1)" -map 0 -map 1 \
    -frames:v 1 -c:a libmp3lame -b:a 128k -c:v png -disposition:v attached_pic -id3v2_version 3 \
    "${exact[@]}" -f mp3 "$tmp/cover_art.mkv"
}
clip_no_duration_mkv() {
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" $(x264 24) "${exact[@]}" -f h264 "$tmp/no_duration.mkv"
}
clip_subtitles_mkv() {
  printf '1\n00:00:00,000 --> 00:00:01,000\nfirst line\n\n2\n00:00:01,000 --> 00:00:02,000\nsecond line\n' \
    >"$tmp/subs.srt"
  ff -i "$tmp/subs.srt" -c:s srt "${exact[@]}" "$tmp/subtitles.mkv"
  rm -f "$tmp/subs.srt"
}
clip_not_media_mkv() {
  local i
  for i in $(seq 1 80); do
    echo "Line $i of a plain text file that carries a media file's name but no media."
  done >"$tmp/not_media.mkv"
  : >"$tmp/empty.mkv"
}
clip_colour() {
  # Converted from RGB with the tagged matrix, so the tags tell the truth.
  ff -f lavfi -i "$(video 1280x720 25 0.4)" \
    -vf "format=rgb24,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p,$code" \
    $(x264 24) -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv \
    "${exact[@]}" "$tmp/hd_bt709.mkv"
  ff -f lavfi -i "$(video 320x240 25 0.4)" \
    -vf "format=rgb24,scale=out_color_matrix=bt601:out_range=pc,format=yuvj420p,$code" \
    -c:v mjpeg -q:v 3 -color_range pc "${exact[@]}" "$tmp/mjpeg_full.mkv"
  ff -f lavfi -i "$(video 320x240 25 0.4)" \
    -vf "format=rgb24,scale=out_color_matrix=bt601:out_range=tv,format=yuv420p,$code" \
    $(x264 24) "${exact[@]}" "$tmp/bt601_sd.mkv"
}
clip_sound() {
  local s=5
  ff -f lavfi -i "$(sound stereo 48000 $s)" -c:a pcm_s16le "${exact[@]}" "$tmp/pcm_s16_48k.mkv"
  ff -f lavfi -i "$(sound 5.1 48000 $s)" -c:a pcm_f32le "${exact[@]}" "$tmp/pcm_f32_51.mkv"
  ff -f lavfi -i "$(sound stereo 44100 $s)" -c:a flac -sample_fmt s16 "${exact[@]}" "$tmp/flac_44k.mkv"
  ff -f lavfi -i "$(sound mono 22050 $s)" -c:a flac -sample_fmt s16 "${exact[@]}" "$tmp/flac_mono_22k.mkv"
  ff -f lavfi -i "$(sound stereo 48000 $s)" -c:a aac -b:a 128k "${exact[@]}" "$tmp/aac_48k.mkv"
  ff -f lavfi -i "$(sound stereo 44100 $s)" -c:a libmp3lame -b:a 128k "${exact[@]}" "$tmp/mp3_44k.mkv"
  ff -f lavfi -i "$(sound 5.1 48000 $s)" -c:a ac3 -b:a 384k "${exact[@]}" "$tmp/ac3_51.mkv"
  ff -f lavfi -i "$(sound stereo 48000 $s)" -c:a libopus -b:a 96k "${exact[@]}" "$tmp/opus_48k.mkv"
  ff -f lavfi -i "$(sound stereo 44100 $s)" -c:a libvorbis -q:a 4 "${exact[@]}" "$tmp/vorbis_44k.mkv"
  ff -f lavfi -i "$(sound stereo 44100 $s)" -c:a aac -b:a 128k "${exact[@]}" "$tmp/aac_44k.flv"
  ff -f lavfi -i "$(sound mono 22050 $s)" -c:a libmp3lame -b:a 64k "${exact[@]}" "$tmp/mp3_22k.flv"
}
clip_rates() {
  # Frame intervals of 40 ms and 11.1 ms / 68.9 ms in turn fit no standard
  # rate, so FFmpeg falls back to the stream's time base as the frame rate.
  ff -f lavfi -i "$(video 320x240 25 2)" -f lavfi -i "$(sound stereo 48000 2)" \
    -vf "$code,settb=1/90000,setpts='N*3600+mod(N,2)*2599'" -fps_mode passthrough \
    -enc_time_base 1/90000 -c:v libx264 -preset veryfast -bf 0 -pix_fmt yuv420p \
    -c:a aac -b:a 128k "${exact[@]}" -f mpegts "$tmp/rate_over_1000.mkv"
  ff -i "$tmp/rate_over_1000.mkv" -map 0 -c copy "${exact[@]}" "$tmp/rate_1000.mkv"
}

# Streams that cannot be used, made by patching a plain file's Matroska
# elements in place (same lengths): PixelWidth (B0), PixelHeight (BA), the VOL
# start code in CodecPrivate, SamplingFrequency (B5, an 8-byte float).
clip_unusable_streams() {
  ff -f lavfi -i "color=red:s=64x48:r=25:d=1" -f lavfi -i "sine=f=440:d=1:sample_rate=48000" \
    -c:v mpeg4 -c:a pcm_s16le "${exact[@]}" "$tmp/plain_av.mkv"
  ff -f lavfi -i "sine=f=440:d=1:sample_rate=48000" -c:a pcm_s16le "${exact[@]}" \
    "$tmp/plain_a.mkv"
  perl -0777 -pe 's{\xB0\x81\x40}{\xB0\x81\x00}; s{\xBA\x81\x30}{\xBA\x81\x00};
    s{\x00\x00\x01\x20}{\x00\x00\x01\xB7}' "$tmp/plain_av.mkv" >"$tmp/no_picture_size.mkv"
  local rate48k='\xB5\x88\x40\xE7\x70\x00\x00\x00\x00\x00' zero='\xB5\x88\x00\x00\x00\x00\x00\x00\x00\x00'
  perl -0777 -pe "s{$rate48k}{$zero}" "$tmp/plain_av.mkv" >"$tmp/no_sound_rate.mkv"
  perl -0777 -pe "s{$rate48k}{$zero}" "$tmp/plain_a.mkv" >"$tmp/sound_rate_0.mkv"
  local f
  for f in no_picture_size no_sound_rate sound_rate_0; do
    cmp -s "$tmp/$f.mkv" "$tmp/plain_a.mkv" || cmp -s "$tmp/$f.mkv" "$tmp/plain_av.mkv" &&
      { echo "$f.mkv not patched" >&2; return 1; }
  done
  rm -f "$tmp/plain_av.mkv" "$tmp/plain_a.mkv"
}
clip_long_gop() {
  ff -f lavfi -i "$(video 160x120 25 8)" -vf "$code" $(x264 100) "${exact[@]}" "$tmp/long_gop_h264.mkv"
  ff -i "$tmp/long_gop_h264.mkv" -c copy "${exact[@]}" "$tmp/long_gop.flv"
  ff -f lavfi -i "$(video 160x120 25 8)" -vf "$code" -c:v libx265 -preset ultrafast \
    -x265-params log-level=error:keyint=100:min-keyint=100:scenecut=0:bframes=3:b-adapt=0:open-gop=1:pools=1:frame-threads=1 \
    -pix_fmt yuv420p "${exact[@]}" "$tmp/long_gop_hevc.mkv"
}
clip_vp8_vorbis_mkv() {
  ff -f lavfi -i "$(video 320x240 25 2)" -f lavfi -i "$(sound stereo 44100 2)" -vf "$code" \
    -c:v libvpx -deadline realtime -cpu-used 8 -b:v 400k -g 25 -keyint_min 25 -pix_fmt yuv420p \
    -c:a libvorbis -q:a 4 "${exact[@]}" "$tmp/vp8_vorbis.mkv"
}
# sync_clip NAME EXT VIDEO_START SOUND_START RATE SOUND_CODEC (see the header)
sync_clip() {
  local click
  click=$(awk -v v="$3" -v a="$4" -v r="$5" 'BEGIN { printf "%d", (v + 1 - a) * r + 0.5 }')
  ff -itsoffset "$3" -f lavfi \
    -i "color=black:s=160x120:r=20:d=2,drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='eq(n,20)'" \
    -itsoffset "$4" -f lavfi \
    -i "aevalsrc=exprs='if(eq(n,$click),0.9,0)':channel_layout=stereo:sample_rate=$5:duration=2" \
    -c:v libx264 -preset veryfast -bf 0 -g 20 -pix_fmt yuv420p -c:a "$6" "${exact[@]}" \
    "$tmp/sync_$1.$2"
}
clip_sync() {
  sync_clip after mkv 0 0.5 48000 pcm_s16le
  sync_clip before mkv 0.5 0 48000 flac
  sync_clip frame mkv 0 0.05 48000 pcm_s16le
  sync_clip together mkv 0 0 48000 pcm_s16le
  sync_clip after flv 0 0.5 44100 pcm_s16le
  sync_clip before flv 0.5 0 44100 pcm_s16le
  sync_clip frame flv 0 0.05 44100 pcm_s16le
  sync_clip together flv 0 0 44100 pcm_s16le
}

[[ "${BASH_SOURCE[0]}" == "$0" ]] || return 0

out=${1:?usage: make_media.sh OUTDIR}
mkdir -p "$out"
rm -f "$out/.stamp"
tmp=$(mktemp -d "$out/.work.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# Two clips at a time (the machine is shared); any failure fails the run.
jobs_list=(clip_h264_aac_mkv clip_h264_mp3_flv clip_h264_aac_flv clip_hevc_mkv clip_vp9_opus_mkv
  clip_mpeg4_mkv clip_silent_mkv clip_two_streams_mkv clip_subtitles_mkv clip_not_media_mkv
  clip_colour clip_sound clip_rates clip_cover_art_mkv clip_no_duration_mkv clip_vp8_vorbis_mkv
  clip_sync clip_unusable_streams clip_long_gop)
failed=0
running=0
for job in "${jobs_list[@]}"; do
  if ((running >= 2)); then
    wait -n || failed=1
    running=$((running - 1))
  fi
  "$job" &
  running=$((running + 1))
done
while ((running > 0)); do
  wait -n || failed=1
  running=$((running - 1))
done
if ((failed)); then
  echo "make_media.sh: a clip failed" >&2
  exit 1
fi

mv -f "$tmp"/* "$out"/
touch "$out/.stamp"
