#!/usr/bin/env bash
# Makes the seed corpora from the test media: MEDIA_DIR holds the test clips
# (tests/media/make_media.sh), CORPUS_DIR receives media/ and inflate/.
# Media seeds are short stream copies of the small clips and cuts of their
# first bytes, kept only where ffprobe still opens them. Nothing here is
# committed; it is remade whenever the corpora are missing.
set -euo pipefail
media=${1:?usage: make_seeds.sh MEDIA_DIR CORPUS_DIR}
corpus=${2:?usage: make_seeds.sh MEDIA_DIR CORPUS_DIR}
mkdir -p "$corpus/media" "$corpus/inflate"

opens() { ffprobe -v quiet -show_streams "$1" >/dev/null 2>&1; }

clips=(h264_aac.mkv h264_mp3.flv h264_aac.flv hevc.mkv vp9_opus.mkv mpeg4.mkv
       two_streams.mkv subtitles.mkv mjpeg_full.mkv pcm_s16_48k.mkv flac_44k.mkv
       aac_48k.mkv mp3_44k.mkv ac3_51.mkv opus_48k.mkv vorbis_44k.mkv aac_44k.flv
       mp3_22k.flv cover_art.mkv no_duration.mkv rate_over_1000.mkv
       sync_before.mkv sync_after.flv no_picture_size.mkv no_sound_rate.mkv
       three_sound_tracks.mkv vp8_vorbis.mkv hevc_10bit.mkv av1_10bit.mkv
       gradient_10bit.mkv ffv1_rgba.mkv prores_4444.mkv png.mkv utvideo.mkv
       field_tt.mkv sar_32_27.mkv killed_h264_aac.mkv killed_h264_pcm.flv nellymoser_22k.flv
       vfr_drops.mkv vfr_drops.flv sync_late.ept sync_early.ept sync_after.mad tc_df.mkv
       killed_aac.flv killed_header.flv adpcm_swf_44k.flv mp2_48k.mkv growing.mkv start_1000.mkv
       duration_inf.mkv duration_neg.flv duration_huge.flv slideshow.mkv pcm_32ch.mkv
       attachment_only.mkv rate_over_1000_only.mkv truncated.mkv)
# A media seed is the file behind two bytes: the extension the target gives
# it (0 .mkv, 1 .flv, 2 .ept, 3 .mad) and the plan (which requests; bits 4
# and 5 both set: saved and reopened too). Plans rotate over the seeds.
plan=0
seed() {  # seed FILE EXT: wraps FILE in place, or removes it when ffprobe cannot open it
  local file=$1 index
  opens "$file" || { rm -f "$file"; return 0; }
  case $2 in mkv) index=0 ;; flv) index=1 ;; ept) index=2 ;; mad) index=3 ;; *) index=0 ;; esac
  { printf "\\$(printf %o "$index")\\$(printf %o "$plan")"; cat "$file"; } >"$file.seed"
  mv -f "$file.seed" "$file"
  plan=$(((plan * 5 + 7) % 64))
}

for clip in "${clips[@]}"; do
  src=$media/$clip
  [ -f "$src" ] || continue
  base=${clip%.*}
  ext=${clip##*.}
  # A fifth of a second, streams copied: the container's whole structure
  # (header, index, trailer) around a key frame or two.
  short=$corpus/media/${base}_short.$ext
  if ffmpeg -nostdin -y -loglevel quiet -i "$src" -t 0.2 -map 0 -c copy "$short" &&
     [ "$(stat -c %s "$short")" -le 32768 ]; then seed "$short" "$ext"; else rm -f "$short"; fi
  # The first few KB of the clip as it is (a recording cut off by a crash).
  for bytes in 2048 8192; do
    cut=$corpus/media/${base}_head$bytes.$ext
    head -c "$bytes" "$src" > "$cut"
    seed "$cut" "$ext"
  done
done

# Inflate seeds: 1024-byte blocks as flatten writes them (a path, a 0, zeros),
# one naming the clip the fuzzer places in its directory, and damaged ones.
block() {  # block NAME TEXT [SIZE]
  local size=${3:-1024}
  { printf '%s' "$2"; head -c "$size" /dev/zero; } | head -c "$size" > "$corpus/inflate/$1"
}
block clip clip.mkv
block clip_dot ./clip.mkv
block missing no-such-file.mkv
block dir .
block spaces "a b/c d é.mkv"
block empty ""
block short_clip clip.mkv 16
block long_clip clip.mkv 2000
# Blocks carrying a chosen sound track after the path: "ZSND", a version,
# the stream's index and its codec id, 32-bit little-endian (the fuzz clip
# has sound streams 1 to 3: AAC 0x15002, AC-3 0x15003, FLAC 0x1500c).
byte() { printf "\\$(printf %o $(($1 & 255)))"; }
le32() { local v=$(($1 & 0xFFFFFFFF)) i; for i in 0 8 16 24; do byte $((v >> i)); done; }
track() {  # track NAME TEXT STREAM CODEC [VERSION [SIZE]]
  local size=${6:-1024}
  # Written whole, then cut: a pipe into `head` could end the writer early.
  { printf '%s\0ZSND' "$2"; byte "${5:-1}"; le32 "$3"; le32 "$4"; } > "$corpus/inflate/$1"
  truncate -s "$size" "$corpus/inflate/$1"
}
track track_mic clip.mkv 3 $((0x1500c))
track track_game clip.mkv 2 $((0x15003))
track track_none clip.mkv -1 0
track track_picture clip.mkv 0 $((0x1500c))
track track_codec_changed clip.mkv 3 $((0x15002))
track track_gone clip.mkv 99 $((0x1500c))
track track_version2 clip.mkv 3 $((0x1500c)) 2
track track_cut clip.mkv 3 $((0x1500c)) 1 15
head -c 1024 /dev/zero | tr '\0' 'a' > "$corpus/inflate/no_zero"
head -c 100 /dev/zero | tr '\0' 'b' > "$corpus/inflate/short_no_zero"
echo "seeds: $(ls "$corpus/media" | wc -l) media, $(ls "$corpus/inflate" | wc -l) inflate"
