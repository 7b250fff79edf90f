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
# After making a clip, ffprobe must read back its picture's codec, pixel
# format, field order and sample aspect ratio (1:1 unless said; progressive
# unless said) and its sound's codec, sample format, rate and channels, else
# the run fails; so does a missing encoder.
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
#   matrix_32.mkv     320x240 MPEG-4 whose MatrixCoefficients (55 B1 81) is patched
#                     from 5 to 32, a code no standard defines (the BT.601 rule)
#   pcm_s16_48k.mkv pcm_f32_51.mkv flac_44k.mkv flac_mono_22k.mkv aac_48k.mkv
#   mp3_44k.mkv ac3_51.mkv opus_48k.mkv vorbis_44k.mkv aac_44k.flv mp3_22k.flv
#                     sound only, 5 s each: stereo unless the name says 51 (5.1) or mono
#   nellymoser_22k.flv adpcm_swf_44k.flv mp2_48k.mkv
#                     sound only, 5 s: codecs of one frame size that no list names
#                     (Nellymoser mono, Flash ADPCM and MP2 stereo)
#   killed_h264_aac.mkv killed_h264_pcm.mkv killed_aac.mkv
#   killed_h264_aac.flv killed_h264_pcm.flv killed_aac.flv
#                     recordings whose recorder was killed: written to a pipe, as a
#                     recorder leaves a file until it stops (Matroska: unknown segment
#                     size, no Duration, no Cues; FLV: duration 0 in onMetaData), then
#                     cut at 85 % of the bytes, inside a packet. 320x240 H.264 (no
#                     B-frames, keyint 25) 25 fps and/or AAC 128k or PCM s16 stereo
#                     48 kHz (44.1 kHz in FLV), 4 s before the cut
#   killed_header.flv the first 100 bytes of killed_h264_aac.flv: cut inside the header
#   growing.mkv       a 2 s H.264/AAC clip as a recorder leaves it while still writing
#                     (piped: unknown segment size, no Duration, no index)
#   start_1000.mkv    the same clip with its timestamps starting at 1000 s
#   duration_{inf,nan,neg,huge}.{mkv,flv}
#                     the same clip with the header's duration patched to +inf, NaN,
#                     -2.5 s or 10^12 s (Matroska Duration, FLV onMetaData)
#   vfr_drops.mkv vfr_drops.flv  variable frame rate, as recorders drop unchanged frames:
#                     160x120 H.264 (3 B-frames, keyint 50) 25 fps 6 s with pictures 10, 30,
#                     31 and 60 to 109 (a two-second freeze) dropped (select, -fps_mode vfr)
#   tc_ndf.mkv tc_df.mkv tc_file.mkv tc_df_25.mkv tc_range.mkv tc_frame.mkv tc_garbage.mkv
#                     0.2 s of 64x48 H.264 with a start timecode tag (see clip_timecode:
#                     the rate, the text and whether it is on the video stream or the
#                     file); the last four are not valid at their rates
#   rate_over_1000.mkv  H.264 at 2000 pictures a second in an MPEG-TS stream (FFmpeg finds
#                     it by content, not by name) at 1/90000; AAC stereo 48 kHz, 0.2 s.
#                     The video must be refused.
#   rate_1000.mkv     H.264 at exactly 1000 pictures a second in Matroska (1/1000), which
#                     must still be accepted
#   rate_over_1000_only.mkv  its picture alone: nothing in it can be used
#   attachment_only.mkv  a Matroska file holding an attachment and a control track
#                     only: nothing in it can be used
#   slideshow.mkv     160x120 MJPEG, 40 pictures at uneven times (N * 137 + N^3 mod 97 ms,
#                     as a recorder writes a picture when the screen changes), in Matroska
#                     with its DefaultDuration renamed (23 E3 83 to 23 E3 84): FFmpeg
#                     finds no rate and falls back to the time base, 1000/1
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
#   sync_late.ept     the same in NUT (found by content): the picture first, at 0.35 s
#                     (1/81920 ticks), the sound (PCM 22.05 kHz, 1/22050) at 0.5 s, so the
#                     origin is the picture's and falls between two sound samples
#   sync_after.mad    MP4: picture at 0 (1/10240), ALAC sound at 0.5 s (1/48000)
#   sync_early.ept    NUT, the sound first: PCM 22.05 kHz at 0.35 s (sample 7718 of its
#                     1/22050 ticks), the picture at 0.5 s; the origin, the sound's start,
#                     falls between two of the picture's 1/81920 ticks
#
# The files people bring (25 fps, 1 s, frame code drawn, unless said):
#   av1.mkv           AV1 (libaom-av1 realtime, cpu-used 8, keyint 12) yuv420p 320x240
#   av1_10bit.mkv     the same, yuv420p10le
#   hevc_10bit.mkv    HEVC (libx265 ultrafast, keyint 12, 3 B-frames) yuv420p10le 320x240
#   h264_high10.mkv   H.264 High 10 (libx264 veryfast, keyint 12, 3 B-frames) yuv420p10le 320x240
#   vp9_10bit.mkv     VP9 profile 2 (libvpx-vp9 realtime, keyint 12) yuv420p10le 320x240
#   mpeg2_interlaced.mkv  MPEG-2 720x480 30000/1001 fps, interlaced-coded top field first
#                     (setfield=tff, -flags +ilme+ildct -top 1), 2 B-frames, keyint 12,
#                     -aspect 16:9: sample aspect 32:27; field_order reads back tt
#   dv_pal.mkv        DV 720x576 yuv420p, setfield=bff, setsar=16/15: sample aspect 16:15;
#                     field_order reads back bt (Matroska's bottom field first)
#   prores_422.mkv    ProRes 422 (prores_ks profile 2, "Standard") yuv422p10le 320x240
#   prores_4444.mkv   ProRes 4444 (prores_ks profile 4444, alpha_bits 16) 320x240 from
#                     yuva444p10le with ALPHA_RAMP; decodes as yuva444p12le
#   dnxhr.mkv         DNxHR HQX (dnxhd, profile dnxhr_hqx) yuv422p10le 320x240
#   ffv1_10bit.mkv    FFV1 level 3 yuv422p10le 320x240
#   ffv1_rgba.mkv     FFV1 level 3 bgra 324x240 with ALPHA_RAMP
#   utvideo.mkv       Ut Video gbrp 324x240 (planar RGB, opaque)
#   cineform.mkv      CineForm (cfhd) yuv422p10le 320x240
#   png.mkv           PNG rgba 324x240 with ALPHA_RAMP
#   The RGB clips are 324 wide: a multiple of 4 but not of 16.
#   ALPHA_RAMP: the code-marked testsrc2 picture as rgba, then
#     geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='floor(X*255/(W-1))'
#     so alpha is floor(X*255/(W-1)) in every row (0 at the left edge, 255 at the
#     right), colours untouched (straight alpha). ProRes 4444 codes it from
#     yuva444p10le and its decoder gives alpha v as v*16 + v/64 at 12 bits
#     (4083 for 255), the same in every frame.
# Sound only, 2 s, the sweeps above (stereo L R; 5.1 L R C LFE BL BR; 7.1 adds
# SL rising from 800 Hz and SR falling from 1200 Hz):
#   dts_51.mkv        DTS (dca, experimental) 5.1 48 kHz
#   truehd_51.mkv     TrueHD (experimental) 5.1 48 kHz, s32 (24-bit)
#   eac3_51.mkv       E-AC-3 5.1 48 kHz 384k
#   alac_24.mkv       ALAC stereo 44.1 kHz, s32p (24-bit)
#   wavpack.mkv       WavPack stereo 44.1 kHz, s16p
#   pcm_s24_96k.mkv   PCM signed 24-bit little-endian stereo 96 kHz
#   pcm_32ch.mkv pcm_64ch.mkv  PCM s16 48 kHz, 1 s, 32 and 64 channels of no named place
#                     (channel k a sine at 200 + 50k Hz, amplitude 0.5), as a multitrack
#                     interface records
#   opus_71.mkv       Opus 7.1 48 kHz 256k
#   three_sound_tracks.mkv  H.264 320x240 (code), then AAC stereo 48 kHz "Mix" (used: the
#                     first), AC-3 5.1 48 kHz "Game", FLAC mono 22.05 kHz "Microphone" (eng)
#                     (the mono_b sweep), titled as a game recorder titles its tracks
# Description (0.4 s, 320x240 H.264 with the code unless said):
#   sar_32_27.mkv sar_8_9.mkv sar_4_3.mkv sar_1_1.mkv
#                     setsar=32/27, 8/9, 4/3, 1/1: sample_aspect_ratio reads back 32:27,
#                     8:9, 4:3, 1:1
#   field_tt.mkv      interlaced-coded (setfield=tff, -flags +ilme+ildct -top 1):
#                     field_order reads back tt (the H.264 parser's value)
#   field_bb.mkv      the same bottom field first (setfield=bff, -top 0): reads back bb
#   field_tb.mkv      FFV1 yuv420p with setfield=tff: FFV1 carries no field order, so
#                     Matroska's stored value reads back, tb
#   field_progressive.mkv  progressive: reads back progressive
#   gradient_10bit.mkv  FFV1 yuv444p10le 1024x32, no code, untagged limited range: luma
#                     64 + floor(X*876/(W-1)) (64 at the left, 940 at the right, every
#                     level of 64..940 present), chroma 512 (grey, any matrix)
#   hd_untagged.mkv   1280x720 H.264 converted from RGB with the BT.709 matrix, limited
#                     range, no colour tags (color_space reads back unknown): the
#                     untagged-HD rule
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
SL=$(sweep 0.3 800 10)
SR=$(sweep 0.3 1200 -10)
MONO_B=$(sweep 0.5 440 30)
# sound LAYOUT RATE SECONDS: a lavfi input of the sound.
sound() {
  local exprs
  case $1 in
    mono) exprs=$L ;;
    mono_b) exprs=$MONO_B; set -- mono "$2" "$3" ;;
    stereo) exprs="$L|$R" ;;
    5.1) exprs="$L|$R|$C|$LFE|$BL|$BR" ;;
    7.1) exprs="$L|$R|$C|$LFE|$BL|$BR|$SL|$SR" ;;
  esac
  echo "aevalsrc=exprs=$exprs:channel_layout=$1:sample_rate=$2:duration=$3"
}

# expect FILE STREAM FIELD=VALUE...: ffprobe must read these back from STREAM
# (v:0, a:0, ...) of FILE.
expect() {
  local file=$1 stream=$2 want fields=()
  shift 2
  for want in "$@"; do fields+=("${want%%=*}"); done
  local got
  got=$(ffprobe -v error -select_streams "$stream" \
    -show_entries "stream=$(IFS=,; echo "${fields[*]}")" -of default=noprint_wrappers=1 "$file")
  for want in "$@"; do
    grep -qxF "$want" <<<"$got" || {
      echo "make_media.sh: $(basename "$file") $stream: expected $want, ffprobe reads: $(echo $got)" >&2
      return 1
    }
  done
}
# expect_video FILE CODEC PIX_FMT FIELD_ORDER SAR
expect_video() {
  expect "$1" v:0 "codec_name=$2" "pix_fmt=$3" "field_order=$4" "sample_aspect_ratio=$5"
}
# expect_sound FILE CODEC SAMPLE_FMT RATE CHANNELS
expect_sound() {
  expect "$1" a:0 "codec_name=$2" "sample_fmt=$3" "sample_rate=$4" "channels=$5"
}

# The straight-alpha ramp of the header (after the code, on rgba).
ALPHA_RAMP="format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='floor(X*255/(W-1))'"

x264() {  # x264 with fixed B-frames and key interval, no scene cuts: KEYINT
  echo "-c:v libx264 -preset veryfast -crf 20 -bf 3 -g $1 -keyint_min $1 -sc_threshold 0
        -x264-params b-adapt=0 -pix_fmt yuv420p"
}

clip_h264_aac_mkv() {
  ff -f lavfi -i "$(video 320x240 25 3)" -f lavfi -i "$(sound stereo 48000 3)" \
    -vf "$code" $(x264 24) -c:a aac -b:a 128k "${exact[@]}" "$tmp/h264_aac.mkv"
  expect_video "$tmp/h264_aac.mkv" h264 yuv420p progressive 1:1
  expect_sound "$tmp/h264_aac.mkv" aac fltp 48000 2
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
  expect_video "$tmp/h264_mp3.flv" h264 yuv420p progressive 1:1
  expect_sound "$tmp/h264_mp3.flv" mp3 fltp 44100 2
}
clip_h264_aac_flv() {
  ff -f lavfi -i "$(video 320x240 25 3)" -f lavfi -i "$(sound stereo 44100 3)" \
    -vf "$code" $(x264 25) -c:a aac -b:a 128k "${exact[@]}" "$tmp/h264_aac.flv"
  expect_video "$tmp/h264_aac.flv" h264 yuv420p progressive 1:1
  expect_sound "$tmp/h264_aac.flv" aac fltp 44100 2
}
clip_hevc_mkv() {
  ff -f lavfi -i "$(video 320x240 24000/1001 2)" -vf "$code" -c:v libx265 -preset ultrafast \
    -x265-params log-level=error:keyint=24:min-keyint=24:scenecut=0:bframes=3:b-adapt=0:pools=1:frame-threads=1 \
    -pix_fmt yuv420p "${exact[@]}" "$tmp/hevc.mkv"
  expect_video "$tmp/hevc.mkv" hevc yuv420p progressive 1:1
}
clip_vp9_opus_mkv() {
  ff -f lavfi -i "$(video 320x240 25 2)" -f lavfi -i "$(sound stereo 48000 2)" -vf "$code" \
    -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 400k -g 25 -keyint_min 25 -pix_fmt yuv420p \
    -c:a libopus -b:a 96k "${exact[@]}" "$tmp/vp9_opus.mkv"
  expect_video "$tmp/vp9_opus.mkv" vp9 yuv420p progressive 1:1
  expect_sound "$tmp/vp9_opus.mkv" opus fltp 48000 2
}
clip_mpeg4_mkv() {
  ff -f lavfi -i "$(video 320x240 25 2)" -f lavfi -i "$(sound stereo 48000 2)" -vf "$code" \
    -c:v mpeg4 -q:v 3 -bf 2 -g 12 -pix_fmt yuv420p -c:a ac3 -b:a 192k "${exact[@]}" "$tmp/mpeg4.mkv"
  expect_video "$tmp/mpeg4.mkv" mpeg4 yuv420p progressive 1:1
  expect_sound "$tmp/mpeg4.mkv" ac3 fltp 48000 2
}
clip_silent_mkv() {
  ff -f lavfi -i "$(video 320x240 25 2)" -vf "$code" $(x264 24) "${exact[@]}" "$tmp/silent.mkv"
  expect_video "$tmp/silent.mkv" h264 yuv420p progressive 1:1
}
clip_two_streams_mkv() {
  ff -f lavfi -i "$(sound stereo 48000 2)" -f lavfi -i "$(video 320x240 25 2)" \
    -f lavfi -i "$(sound mono_b 22050 2)" -f lavfi -i "$(video 160x120 25 2 testsrc)" \
    -filter_complex "[1:v]$code[v1];[3:v]$code[v2]" \
    -map 0:a -map '[v1]' -map 2:a -map '[v2]' \
    -c:a:0 aac -b:a:0 128k -c:v:0 libx264 -preset veryfast -crf 20 -bf 3 -g 24 -sc_threshold 0 \
    -c:a:1 libmp3lame -b:a:1 64k -c:v:1 mpeg4 -q:v:1 3 -bf:v:1 2 -g:v:1 12 \
    -pix_fmt yuv420p "${exact[@]}" "$tmp/two_streams.mkv"
  expect_video "$tmp/two_streams.mkv" h264 yuv420p progressive 1:1
  expect_sound "$tmp/two_streams.mkv" aac fltp 48000 2
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
  expect_video "$tmp/hd_bt709.mkv" h264 yuv420p progressive 1:1
  ff -f lavfi -i "$(video 320x240 25 0.4)" \
    -vf "format=rgb24,scale=out_color_matrix=bt601:out_range=pc,format=yuvj420p,$code" \
    -c:v mjpeg -q:v 3 -color_range pc "${exact[@]}" "$tmp/mjpeg_full.mkv"
  expect_video "$tmp/mjpeg_full.mkv" mjpeg yuvj420p progressive 1:1
  ff -f lavfi -i "$(video 320x240 25 0.4)" \
    -vf "format=rgb24,scale=out_color_matrix=bt601:out_range=tv,format=yuv420p,$code" \
    $(x264 24) "${exact[@]}" "$tmp/bt601_sd.mkv"
  expect_video "$tmp/bt601_sd.mkv" h264 yuv420p progressive 1:1
  ff -f lavfi -i "$(video 1280x720 25 0.4)" \
    -vf "format=rgb24,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p,$code" \
    $(x264 24) "${exact[@]}" "$tmp/hd_untagged.mkv"
  expect_video "$tmp/hd_untagged.mkv" h264 yuv420p progressive 1:1
  expect "$tmp/hd_untagged.mkv" v:0 color_space=unknown
  ff -f lavfi -i "$(video 320x240 25 0.4)" \
    -vf "format=rgb24,scale=out_color_matrix=bt601:out_range=tv,format=yuv420p,$code" \
    -c:v mpeg4 -q:v 3 -colorspace bt470bg "${exact[@]}" "$tmp/matrix_5.mkv"
  LC_ALL=C perl -0777 -pe 's{\x55\xB1\x81\x05}{\x55\xB1\x81\x20}' "$tmp/matrix_5.mkv" \
    >"$tmp/matrix_32.mkv"
  cmp -s "$tmp/matrix_32.mkv" "$tmp/matrix_5.mkv" && { echo "matrix_32.mkv not patched" >&2; return 1; }
  rm -f "$tmp/matrix_5.mkv"
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
  local clip
  for clip in pcm_s16_48k.mkv:pcm_s16le:s16:48000:2 pcm_f32_51.mkv:pcm_f32le:flt:48000:6 \
    flac_44k.mkv:flac:s16:44100:2 flac_mono_22k.mkv:flac:s16:22050:1 aac_48k.mkv:aac:fltp:48000:2 \
    mp3_44k.mkv:mp3:fltp:44100:2 ac3_51.mkv:ac3:fltp:48000:6 opus_48k.mkv:opus:fltp:48000:2 \
    vorbis_44k.mkv:vorbis:fltp:44100:2 aac_44k.flv:aac:fltp:44100:2 mp3_22k.flv:mp3:fltp:22050:1; do
    IFS=: read -r -a e <<<"$clip"
    expect_sound "$tmp/${e[0]}" "${e[@]:1}"
  done
}
clip_grid_sound() {
  local s=5
  ff -f lavfi -i "$(sound mono 22050 $s)" -c:a nellymoser "${exact[@]}" "$tmp/nellymoser_22k.flv"
  ff -f lavfi -i "$(sound stereo 44100 $s)" -c:a adpcm_swf "${exact[@]}" "$tmp/adpcm_swf_44k.flv"
  ff -f lavfi -i "$(sound stereo 48000 $s)" -c:a mp2 -b:a 192k "${exact[@]}" "$tmp/mp2_48k.mkv"
  expect_sound "$tmp/nellymoser_22k.flv" nellymoser flt 22050 1
  expect_sound "$tmp/adpcm_swf_44k.flv" adpcm_swf s16 44100 2
  expect_sound "$tmp/mp2_48k.mkv" mp2 s16p 48000 2
}
# killed NAME EXT RATE VIDEO_ARGS... -- SOUND_ARGS...: see the header.
killed() {
  local name=$1 ext=$2 rate=$3 format=matroska
  shift 3
  [ "$ext" = flv ] && format=flv
  local inputs=() codecs=() in_sound=0 a
  for a in "$@"; do
    if [ "$a" = -- ]; then in_sound=1; continue; fi
    if ((in_sound)); then codecs+=("$a"); else inputs+=("$a"); fi
  done
  ff "${inputs[@]}" "${codecs[@]}" "${exact[@]}" -f "$format" - | cat >"$tmp/full_$name.$ext"
  local size
  size=$(stat -c %s "$tmp/full_$name.$ext")
  head -c $((size * 85 / 100)) "$tmp/full_$name.$ext" >"$tmp/killed_$name.$ext"
  rm -f "$tmp/full_$name.$ext"
}
clip_killed() {
  local ext rate v=(-f lavfi -i "$(video 320x240 25 4)") vc=(-vf "$code" -c:v libx264 -preset veryfast
    -bf 0 -g 25 -pix_fmt yuv420p)
  for ext in mkv flv; do
    rate=48000
    [ "$ext" = flv ] && rate=44100
    local s=(-f lavfi -i "$(sound stereo $rate 4)")
    killed h264_aac $ext $rate "${v[@]}" "${s[@]}" -- "${vc[@]}" -c:a aac -b:a 128k
    killed h264_pcm $ext $rate "${v[@]}" "${s[@]}" -- "${vc[@]}" -c:a pcm_s16le
    killed aac $ext $rate "${s[@]}" -- -c:a aac -b:a 128k
  done
  head -c 100 "$tmp/killed_h264_aac.flv" >"$tmp/killed_header.flv"
}
# hexbytes HEX: the bytes of HEX as a Perl string of \x escapes.
hexbytes() { sed 's/../\\x&/g' <<<"$1"; }
# Files whose headers lie about their length (see the header): Matroska's
# segment Duration (44 89 88, an 8-byte float in milliseconds) and FLV's
# onMetaData duration (an AMF number in seconds after "duration" 00) are
# patched in place; the rest of each file is a plain 2 s clip.
clip_lying() {
  ff -f lavfi -i "$(video 160x120 25 2)" -f lavfi -i "$(sound stereo 44100 2)" -vf "$code" \
    -c:v libx264 -preset veryfast -bf 0 -g 25 -pix_fmt yuv420p -c:a aac -b:a 128k "${exact[@]}" \
    "$tmp/lie_base.mkv"
  ff -i "$tmp/lie_base.mkv" -map 0 -c copy "${exact[@]}" "$tmp/lie_base.flv"
  ff -i "$tmp/lie_base.mkv" -map 0 -c copy "${exact[@]}" -f matroska - | cat >"$tmp/growing.mkv"
  ff -i "$tmp/lie_base.mkv" -map 0 -c copy -output_ts_offset 1000 "${exact[@]}" \
    "$tmp/start_1000.mkv"
  local row name ms s
  for row in inf:7ff0000000000000:7ff0000000000000 nan:7ff8000000000000:7ff8000000000000 \
    neg:c0a3880000000000:c004000000000000 huge:430c6bf526340000:426d1a94a2000000; do
    IFS=: read -r name ms s <<<"$row"
    LC_ALL=C perl -0777 -pe "s{\x44\x89\x88.{8}}{\x44\x89\x88$(hexbytes "$ms")}s" \
      "$tmp/lie_base.mkv" >"$tmp/duration_$name.mkv"
    LC_ALL=C perl -0777 -pe "s{duration\x00.{8}}{duration\x00$(hexbytes "$s")}s" \
      "$tmp/lie_base.flv" >"$tmp/duration_$name.flv"
    cmp -s "$tmp/duration_$name.mkv" "$tmp/lie_base.mkv" && { echo "duration_$name.mkv not patched" >&2; return 1; }
    cmp -s "$tmp/duration_$name.flv" "$tmp/lie_base.flv" && { echo "duration_$name.flv not patched" >&2; return 1; }
  done
  rm -f "$tmp/lie_base.mkv" "$tmp/lie_base.flv"
}
clip_vfr() {
  local ext
  for ext in mkv flv; do
    ff -f lavfi -i "$(video 160x120 25 6)" \
      -vf "$code,select='not(eq(n,10)+eq(n,30)+eq(n,31)+between(n,60,109))'" -fps_mode vfr \
      $(x264 50) "${exact[@]}" "$tmp/vfr_drops.$ext"
  done
}
clip_timecode() {
  local row name rate text where
  for row in ndf:25:01:00:00:00:s df:30000/1001:00:59:59\;28:s file:24000/1001:10:00:00:12:f \
    df_25:25:01:00:00\;00:s range:25:01:00:60:00:s frame:25:01:00:00:25:s garbage:25:garbage:s; do
    name=${row%%:*} row=${row#*:}
    rate=${row%%:*} row=${row#*:}
    where=${row##*:} text=${row%:*}
    local tag=(-metadata timecode="$text")
    [ "$where" = s ] && tag=(-metadata:s:v:0 timecode="$text")
    ff -f lavfi -i "color=gray:s=64x48:r=$rate:d=0.2" -c:v libx264 -preset veryfast -pix_fmt yuv420p \
      "${exact[@]}" "${tag[@]}" "$tmp/tc_$name.mkv"
  done
}
clip_rates() {
  ff -f lavfi -i "color=gray:s=64x48:r=2000:d=0.2" -f lavfi -i "$(sound stereo 48000 0.2)" \
    -c:v libx264 -preset veryfast -bf 0 -pix_fmt yuv420p -c:a aac -b:a 128k "${exact[@]}" \
    -f mpegts "$tmp/rate_over_1000.mkv"
  ff -f lavfi -i "color=gray:s=64x48:r=1000:d=0.2" -f lavfi -i "$(sound stereo 48000 0.2)" \
    -c:v libx264 -preset veryfast -bf 0 -pix_fmt yuv420p -c:a aac -b:a 128k "${exact[@]}" \
    "$tmp/rate_1000.mkv"
  ff -f lavfi -i "$(video 160x120 25 2)" -frames:v 40 \
    -vf "$code,settb=1/1000,setpts='(N*137+mod(N*N*N\,97))/1000/TB'" -fps_mode passthrough \
    -enc_time_base 1:1000 -c:v mjpeg -q:v 5 "${exact[@]}" "$tmp/slideshow_timed.mkv"
  LC_ALL=C perl -0777 -pe 's{\x23\xE3\x83}{\x23\xE3\x84}' "$tmp/slideshow_timed.mkv" \
    >"$tmp/slideshow.mkv"
  cmp -s "$tmp/slideshow.mkv" "$tmp/slideshow_timed.mkv" && { echo "slideshow.mkv not patched" >&2; return 1; }
  rm -f "$tmp/slideshow_timed.mkv"
  ff -i "$tmp/rate_over_1000.mkv" -map 0:v -c copy "${exact[@]}" -f mpegts "$tmp/rate_over_1000_only.mkv"
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
  # FFmpeg's muxer cannot write a file of attachments alone: the sound track
  # beside the attachment becomes a control track (TrackType 83 81 02 to 20),
  # which FFmpeg does not read.
  printf 'zarn attachment\n' >"$tmp/note.txt"
  ff -f lavfi -i "sine=f=440:d=0.1:sample_rate=48000" -c:a pcm_s16le -attach "$tmp/note.txt" \
    -metadata:s:1 mimetype=text/plain "${exact[@]}" "$tmp/with_attachment.mkv"
  LC_ALL=C perl -0777 -pe 's{\x83\x81\x02}{\x83\x81\x20}' "$tmp/with_attachment.mkv" \
    >"$tmp/attachment_only.mkv"
  cmp -s "$tmp/attachment_only.mkv" "$tmp/with_attachment.mkv" &&
    { echo "attachment_only.mkv not patched" >&2; return 1; }
  rm -f "$tmp/note.txt" "$tmp/with_attachment.mkv"
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
# sync_clip NAME EXT VIDEO_START SOUND_START RATE SOUND_CODEC [FORMAT] (see the header)
sync_clip() {
  local click
  click=$(awk -v v="$3" -v a="$4" -v r="$5" 'BEGIN { printf "%d", (v + 1 - a) * r + 0.5 }')
  ff -itsoffset "$3" -f lavfi \
    -i "color=black:s=160x120:r=20:d=2,drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='eq(n,20)'" \
    -itsoffset "$4" -f lavfi \
    -i "aevalsrc=exprs='if(eq(n,$click),0.9,0)':channel_layout=stereo:sample_rate=$5:duration=2" \
    -c:v libx264 -preset veryfast -bf 0 -g 20 -pix_fmt yuv420p -c:a "$6" "${exact[@]}" \
    ${7:+-f "$7"} "$tmp/sync_$1.$2"
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
  sync_clip late ept 0.35 0.5 22050 pcm_s16le nut
  sync_clip after mad 0 0.5 48000 alac mp4
  sync_clip early ept 0.5 0.35 22050 pcm_s16le nut
}
clip_av1() {
  local p
  for p in yuv420p:av1 yuv420p10le:av1_10bit; do
    ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" -c:v libaom-av1 -usage realtime \
      -cpu-used 8 -g 12 -keyint_min 12 -pix_fmt "${p%%:*}" "${exact[@]}" "$tmp/${p#*:}.mkv"
    expect_video "$tmp/${p#*:}.mkv" av1 "${p%%:*}" progressive 1:1
  done
}
clip_deep() {
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" -c:v libx265 -preset ultrafast \
    -x265-params log-level=error:keyint=12:min-keyint=12:scenecut=0:bframes=3:b-adapt=0:pools=1:frame-threads=1 \
    -pix_fmt yuv420p10le "${exact[@]}" "$tmp/hevc_10bit.mkv"
  expect_video "$tmp/hevc_10bit.mkv" hevc yuv420p10le progressive 1:1
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" $(x264 12) -pix_fmt yuv420p10le \
    "${exact[@]}" "$tmp/h264_high10.mkv"
  expect_video "$tmp/h264_high10.mkv" h264 yuv420p10le progressive 1:1
  expect "$tmp/h264_high10.mkv" v:0 "profile=High 10"
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 \
    -b:v 400k -g 12 -keyint_min 12 -pix_fmt yuv420p10le "${exact[@]}" "$tmp/vp9_10bit.mkv"
  expect_video "$tmp/vp9_10bit.mkv" vp9 yuv420p10le progressive 1:1
}
clip_disc() {
  ff -f lavfi -i "$(video 720x480 30000/1001 1)" -vf "$code,setfield=tff" -c:v mpeg2video -q:v 4 \
    -bf 2 -g 12 -flags +ilme+ildct -top 1 -aspect 16:9 -pix_fmt yuv420p "${exact[@]}" \
    "$tmp/mpeg2_interlaced.mkv"
  expect_video "$tmp/mpeg2_interlaced.mkv" mpeg2video yuv420p tt 32:27
  ff -f lavfi -i "$(video 720x576 25 1)" -vf "$code,setfield=bff,setsar=16/15" -c:v dvvideo \
    -pix_fmt yuv420p "${exact[@]}" "$tmp/dv_pal.mkv"
  expect_video "$tmp/dv_pal.mkv" dvvideo yuv420p bt 16:15
}
clip_intermediate() {
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" -c:v prores_ks -profile:v 2 \
    -pix_fmt yuv422p10le "${exact[@]}" "$tmp/prores_422.mkv"
  expect_video "$tmp/prores_422.mkv" prores yuv422p10le progressive 1:1
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code,$ALPHA_RAMP,format=yuva444p10le" \
    -c:v prores_ks -profile:v 4444 -alpha_bits 16 "${exact[@]}" "$tmp/prores_4444.mkv"
  expect_video "$tmp/prores_4444.mkv" prores yuva444p12le progressive 1:1
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" -c:v dnxhd -profile:v dnxhr_hqx \
    -pix_fmt yuv422p10le "${exact[@]}" "$tmp/dnxhr.mkv"
  expect_video "$tmp/dnxhr.mkv" dnxhd yuv422p10le progressive 1:1
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" -c:v ffv1 -level 3 -pix_fmt yuv422p10le \
    "${exact[@]}" "$tmp/ffv1_10bit.mkv"
  expect_video "$tmp/ffv1_10bit.mkv" ffv1 yuv422p10le progressive 1:1
  ff -f lavfi -i "$(video 320x240 25 1)" -vf "$code" -c:v cfhd -pix_fmt yuv422p10le \
    "${exact[@]}" "$tmp/cineform.mkv"
  expect_video "$tmp/cineform.mkv" cfhd yuv422p10le progressive 1:1
}
clip_rgb() {
  ff -f lavfi -i "$(video 324x240 25 1)" -vf "$code,$ALPHA_RAMP" -c:v ffv1 -level 3 -pix_fmt bgra \
    "${exact[@]}" "$tmp/ffv1_rgba.mkv"
  expect_video "$tmp/ffv1_rgba.mkv" ffv1 bgra progressive 1:1
  ff -f lavfi -i "$(video 324x240 25 1)" -vf "$code" -c:v utvideo -pix_fmt gbrp \
    "${exact[@]}" "$tmp/utvideo.mkv"
  expect_video "$tmp/utvideo.mkv" utvideo gbrp progressive 1:1
  ff -f lavfi -i "$(video 324x240 25 1)" -vf "$code,$ALPHA_RAMP" -c:v png -pix_fmt rgba \
    "${exact[@]}" "$tmp/png.mkv"
  expect_video "$tmp/png.mkv" png rgba progressive 1:1
}
clip_more_sound() {
  local s=2
  ff -f lavfi -i "$(sound 5.1 48000 $s)" -c:a dca -strict experimental "${exact[@]}" "$tmp/dts_51.mkv"
  expect_sound "$tmp/dts_51.mkv" dts fltp 48000 6
  ff -f lavfi -i "$(sound 5.1 48000 $s)" -c:a truehd -strict experimental "${exact[@]}" "$tmp/truehd_51.mkv"
  expect_sound "$tmp/truehd_51.mkv" truehd s32 48000 6
  ff -f lavfi -i "$(sound 5.1 48000 $s)" -c:a eac3 -b:a 384k "${exact[@]}" "$tmp/eac3_51.mkv"
  expect_sound "$tmp/eac3_51.mkv" eac3 fltp 48000 6
  ff -f lavfi -i "$(sound stereo 44100 $s)" -c:a alac -sample_fmt s32p "${exact[@]}" "$tmp/alac_24.mkv"
  expect_sound "$tmp/alac_24.mkv" alac s32p 44100 2
  ff -f lavfi -i "$(sound stereo 44100 $s)" -c:a wavpack -sample_fmt s16p "${exact[@]}" "$tmp/wavpack.mkv"
  expect_sound "$tmp/wavpack.mkv" wavpack s16p 44100 2
  ff -f lavfi -i "$(sound stereo 96000 $s)" -c:a pcm_s24le "${exact[@]}" "$tmp/pcm_s24_96k.mkv"
  expect_sound "$tmp/pcm_s24_96k.mkv" pcm_s24le s32 96000 2
  ff -f lavfi -i "$(sound 7.1 48000 $s)" -c:a libopus -b:a 256k "${exact[@]}" "$tmp/opus_71.mkv"
  expect_sound "$tmp/opus_71.mkv" opus fltp 48000 8
  local n k exprs
  for n in 32 64; do
    exprs="0.5*sin(2*PI*200*t)"
    for ((k = 1; k < n; k++)); do exprs+="|0.5*sin(2*PI*$((200 + 50 * k))*t)"; done
    ff -f lavfi -i "aevalsrc=$exprs:s=48000:d=1" -c:a pcm_s16le "${exact[@]}" "$tmp/pcm_${n}ch.mkv"
    expect_sound "$tmp/pcm_${n}ch.mkv" pcm_s16le s16 48000 "$n"
  done
}
clip_three_sound_tracks() {
  ff -f lavfi -i "$(video 320x240 25 1)" -f lavfi -i "$(sound stereo 48000 1)" \
    -f lavfi -i "$(sound 5.1 48000 1)" -f lavfi -i "$(sound mono_b 22050 1)" \
    -map 0:v -map 1:a -map 2:a -map 3:a -vf "$code" $(x264 12) \
    -c:a:0 aac -b:a:0 128k -c:a:1 ac3 -b:a:1 384k -c:a:2 flac -sample_fmt:a:2 s16 \
    "${exact[@]}" -metadata:s:a:0 title=Mix -metadata:s:a:1 title=Game \
    -metadata:s:a:2 title=Microphone -metadata:s:a:2 language=eng "$tmp/three_sound_tracks.mkv"
  expect_sound "$tmp/three_sound_tracks.mkv" aac fltp 48000 2
  expect "$tmp/three_sound_tracks.mkv" a:1 codec_name=ac3 channels=6
  expect "$tmp/three_sound_tracks.mkv" a:2 codec_name=flac channels=1 sample_rate=22050
}
clip_aspect() {
  local sar
  for sar in 32:27 8:9 4:3 1:1; do
    ff -f lavfi -i "$(video 320x240 25 0.4)" -vf "$code,setsar=${sar/:/\/}" $(x264 12) \
      "${exact[@]}" "$tmp/sar_${sar/:/_}.mkv"
    expect_video "$tmp/sar_${sar/:/_}.mkv" h264 yuv420p progressive "$sar"
  done
}
clip_fields() {
  ff -f lavfi -i "$(video 320x240 25 0.4)" -vf "$code,setfield=tff" $(x264 12) \
    -flags +ilme+ildct -top 1 "${exact[@]}" "$tmp/field_tt.mkv"
  expect_video "$tmp/field_tt.mkv" h264 yuv420p tt 1:1
  ff -f lavfi -i "$(video 320x240 25 0.4)" -vf "$code,setfield=bff" $(x264 12) \
    -flags +ilme+ildct -top 0 "${exact[@]}" "$tmp/field_bb.mkv"
  expect_video "$tmp/field_bb.mkv" h264 yuv420p bb 1:1
  ff -f lavfi -i "$(video 320x240 25 0.4)" -vf "$code,setfield=tff" -c:v ffv1 -pix_fmt yuv420p \
    "${exact[@]}" "$tmp/field_tb.mkv"
  expect_video "$tmp/field_tb.mkv" ffv1 yuv420p tb 1:1
  ff -f lavfi -i "$(video 320x240 25 0.4)" -vf "$code" $(x264 12) "${exact[@]}" \
    "$tmp/field_progressive.mkv"
  expect_video "$tmp/field_progressive.mkv" h264 yuv420p progressive 1:1
}
clip_gradient() {
  ff -f lavfi -i "color=black:size=1024x32:rate=25:duration=0.4" \
    -vf "format=yuv444p10le,geq=lum='64+floor(X*876/(W-1))':cb=512:cr=512" -c:v ffv1 -level 3 \
    "${exact[@]}" "$tmp/gradient_10bit.mkv"
  expect_video "$tmp/gradient_10bit.mkv" ffv1 yuv444p10le progressive 1:1
  expect "$tmp/gradient_10bit.mkv" v:0 color_space=unknown color_range=tv
}

[[ "${BASH_SOURCE[0]}" == "$0" ]] || return 0

# Every encoder the clips use, checked up front: a missing one is named.
encoders=(libx264 libx265 libvpx-vp9 libaom-av1 mpeg4 mpeg2video dvvideo mjpeg prores_ks dnxhd
  ffv1 utvideo cfhd png aac libmp3lame ac3 eac3 dca truehd alac wavpack flac libopus libvorbis
  pcm_s16le pcm_s24le pcm_f32le srt nellymoser adpcm_swf mp2)
have=$(ffmpeg -hide_banner -encoders 2>/dev/null | awk '{ print $2 }')
missing=()
for e in "${encoders[@]}"; do grep -qxF "$e" <<<"$have" || missing+=("$e"); done
if ((${#missing[@]})); then
  echo "make_media.sh: ffmpeg has no encoder ${missing[*]}" >&2
  exit 1
fi

out=${1:?usage: make_media.sh OUTDIR}
mkdir -p "$out"
rm -f "$out/.stamp"
tmp=$(mktemp -d "$out/.work.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# As many clips at a time as there are cores (MEDIA_JOBS); any failure fails the run.
jobs_list=(clip_h264_aac_mkv clip_h264_mp3_flv clip_h264_aac_flv clip_hevc_mkv clip_vp9_opus_mkv
  clip_mpeg4_mkv clip_silent_mkv clip_two_streams_mkv clip_subtitles_mkv clip_not_media_mkv
  clip_colour clip_sound clip_grid_sound clip_killed clip_lying clip_vfr clip_timecode clip_rates clip_cover_art_mkv clip_no_duration_mkv clip_vp8_vorbis_mkv
  clip_sync clip_unusable_streams clip_long_gop
  clip_av1 clip_deep clip_disc clip_intermediate clip_rgb clip_more_sound clip_three_sound_tracks
  clip_aspect clip_fields clip_gradient)
failed=0
running=0
for job in "${jobs_list[@]}"; do
  if ((running >= ${MEDIA_JOBS:-$(nproc)})); then
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
