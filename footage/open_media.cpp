// Opening a file for import: demuxer and stream information, the first video
// and the first audio stream and their decoders, the description the host is
// told, and what the probe found of each used stream. Nothing stays open:
// the item's readers open on first use (video/video_reader.h, audio/sound_reader.h).
//
// 1. Open and probe the file (2 on failure).
// 2. Container values: estimated size, duration in 1/100 s.
// 3. The first video stream (attached cover pictures are not footage), at
//    the rate its pictures run at; one faster than 1000 fps, or one FFmpeg
//    cannot size, is not used.
// 4. Its decoder (2 on failure, audio not looked at), the picture fields, the
//    start timecode and what later opens need of the stream (4 when it
//    cannot be kept).
// 5. The first audio stream (or the one the user chose), independently of
//    the video; one without a sample rate, or one no mix to stereo can be
//    made for, is not used; its decoder (2 on failure, replacing an earlier
//    4).
// 6. A stream left unused is a 2 only when no stream is usable.
// 7. The timeline's origin from the used streams.
// 8. The duration the packets back: the end of the used streams' last packet
//    minus the origin, read from the file's tail, replaces a header's that
//    is absent, only estimated, not positive, or off by more than max(1 s,
//    1 %) (a recording still being written or killed, a start offset
//    counted in, a broken value). A duration the host's time cannot hold is
//    refused (2); the item is committed.
#include "footage/open_media.h"

#include <cstdint>
#include <memory>
#include <span>

#include "diag/trace_log.h"
#include "footage/av_owners.h"
#include "footage/decoding.h"
#include "footage/footage_item.h"
#include "footage/frame_rate.h"
#include "footage/item_registry.h"
#include "footage/local_file.h"
#include "footage/media_values.h"
#include "footage/packet_tail.h"
#include "footage/picture_facts.h"
#include "footage/start_timecode.h"
#include "footage/stereo_mix.h"
#include "footage/timeline.h"
#include "host_abi/suite_cache.h"

namespace {

// The decoders opened here only check the streams: one thread is enough.
constexpr int kCheckThreads = 1;

// The first stream of `type` in index order, or -1. Attached pictures (cover
// art in a sound file) are single still images, not video footage.
int FirstStreamOf(const AVFormatContext& format, AVMediaType type) {
  for (unsigned i = 0; i < format.nb_streams; ++i) {
    const AVStream& stream = *format.streams[i];
    if (stream.codecpar->codec_type != type) continue;
    if (type == AVMEDIA_TYPE_VIDEO && (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0)
      continue;
    return static_cast<int>(i);
  }
  return -1;
}

FormatContextPtr OpenProbed(const char* path) {
  FormatContextPtr format = OpenLocalFile(path, nullptr);
  if (!format) return nullptr;
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return nullptr;
  return format;
}

// Keeps what later opens of the stream need. False when out of memory.
bool KeepFacts(const AVStream& stream, StreamFacts& facts) {
  facts.params.reset(avcodec_parameters_alloc());
  if (!facts.params || avcodec_parameters_copy(facts.params.get(), stream.codecpar) < 0) {
    return false;
  }
  facts.index = stream.index;
  facts.time_base = stream.time_base;
  facts.start_time = stream.start_time;
  return true;
}

// Step 8: the duration from the end of the used streams' last packet, minus
// the origin, when the header's cannot be trusted; the size then follows it,
// or is the file's. Unchanged when the tail holds no timed packet of them.
// False when the duration told would not fit the host's time.
bool CheckDuration(AVFormatContext& format, std::span<const int> streams, FootageOptions& record) {
  int64_t told_us = format.duration;
  if (const auto end = LastPacketEnd(format, streams)) {
    const int64_t origin_us = OriginMicroseconds(record.origin);
    const bool estimated = format.duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    int64_t span = 0;
    // An origin far enough below the end (or one too far to count in
    // microseconds at all) spans more than any host time holds.
    if (*end > origin_us && __builtin_sub_overflow(*end, origin_us, &span)) return false;
    if (span > 0 && !HeaderDurationHolds(format.duration, estimated, span)) {
      told_us = span;
      const ContainerValues values = ContainerValuesFrom(format.bit_rate, told_us);
      record.duration = values.duration;
      record.file_size = values.file_size > 0 ? values.file_size : avio_size(format.pb);
    }
  }
  return DurationFitsHostTime(told_us);
}

// What the open found, before it is committed.
struct Opening {
  FormatContextPtr probed;
  std::unique_ptr<FootageItem> item = std::make_unique<FootageItem>();
  bool unusable_stream = false;  // a stream was found but cannot be used
};

// The start timecode of the video stream, else of the file, when it is valid
// at the stream's frame rate.
void ReadStartTimecode(const AVFormatContext& format, const AVStream& stream,
                       FootageOptions& record) {
  const AVDictionaryEntry* tag = av_dict_get(stream.metadata, "timecode", nullptr, 0);
  if (tag == nullptr) tag = av_dict_get(format.metadata, "timecode", nullptr, 0);
  if (tag == nullptr) return;
  const auto timecode = ParseStartTimecode(tag->value, record.frame_rate.num,
                                           static_cast<int32_t>(record.frame_rate.den));
  if (!timecode) return;
  record.start_time = timecode->start;
  record.has_start_time = 1;
  record.drop_frame = timecode->drop_frame ? 1 : 0;
}

// Steps 3 and 4. Returns 0, 2 (no decoder) or 4.
A_Err ProbeVideo(Opening& open, FootageOptions& record) {
  const int index = FirstStreamOf(*open.probed, AVMEDIA_TYPE_VIDEO);
  if (index < 0) return A_Err_NONE;
  AVStream& stream = *open.probed->streams[index];
  const AVRational rate = ToldFrameRate(*open.probed, stream);
  if (!VideoRateAccepted(rate.num, rate.den)) return A_Err_NONE;

  const CodecContextPtr decoder = OpenDecoder(*stream.codecpar, stream.time_base, kCheckThreads);
  if (!decoder) return A_Err_STRUCT;
  // A picture FFmpeg cannot size cannot be delivered; the ARGB row length
  // must also fit 32 bits.
  if (decoder->width <= 0 || decoder->height <= 0 || decoder->width > INT32_MAX / 4) {
    open.unusable_stream = true;
    return A_Err_NONE;
  }
  record.video_open = 1;
  record.width = decoder->width;
  record.height = decoder->height;
  record.frame_rate.num = rate.num;
  record.frame_rate.den = static_cast<uint32_t>(rate.den);
  // The probe's format: it decoded a picture, while some decoders reset theirs
  // at open until the first one.
  const int pix_fmt = stream.codecpar->format;
  record.depth = DeepPixelFormat(pix_fmt) ? 64 : 32;
  record.has_alpha = AlphaPixelFormat(pix_fmt) ? 1 : 0;
  record.pixel_aspect =
      PixelAspectFrom(av_guess_sample_aspect_ratio(open.probed.get(), &stream, nullptr));
  record.fields = FieldsFrom(stream.codecpar->field_order);
  ReadStartTimecode(*open.probed, stream, record);
  if (!KeepFacts(stream, open.item->video_facts)) return A_Err_ALLOC;
  open.item->video_facts.frame_rate = rate;
  return A_Err_NONE;
}

// Step 5 for the stream at `index`. Returns 0 or 2.
A_Err ProbeAudioStream(Opening& open, FootageOptions& record, int index) {
  const AVStream& stream = *open.probed->streams[index];
  record.has_audio = 1;
  const CodecContextPtr decoder = OpenDecoder(*stream.codecpar, stream.time_base, kCheckThreads);
  if (!decoder) return A_Err_STRUCT;
  // Without a sample rate there is no sound the host could be told about.
  if (decoder->sample_rate <= 0) {
    record.has_audio = 0;
    open.unusable_stream = true;
    return A_Err_NONE;
  }
  // Sound that cannot be mixed to stereo would play as silence: it is not
  // described. A decoder that learns its format from the first frame is
  // trusted until then.
  if (decoder->ch_layout.nb_channels > 0 && decoder->sample_fmt != AV_SAMPLE_FMT_NONE &&
      !MakeStereoResampler(decoder->ch_layout, decoder->sample_fmt, decoder->sample_rate,
                           decoder->sample_rate)) {
    record.has_audio = 0;
    open.unusable_stream = true;
    return A_Err_NONE;
  }
  if (!KeepFacts(stream, open.item->sound_facts)) return A_Err_STRUCT;
  record.channels = 2;
  record.sound_rate = static_cast<double>(decoder->sample_rate);
  record.sound_encoding = AEIO_E_SIGNED_FLOAT;
  record.sample_size = 4;
  return A_Err_NONE;
}

// Step 5: the first sound stream, or the one the user chose while it is
// still in the file and usable (else the first, with a trace line).
A_Err ProbeAudio(Opening& open, FootageOptions& record, const SoundTrackChoice* wish) {
  FootageItem& item = *open.item;
  item.sound_tracks = ListSoundTracks(*open.probed);
  if (wish != nullptr) {
    if (wish->stream_index == kNoSoundTrack) {
      item.sound_choice = kNoSoundTrack;
      return A_Err_NONE;
    }
    if (ChoiceMatches(*open.probed, *wish)) {
      const bool unusable_before = open.unusable_stream;
      if (ProbeAudioStream(open, record, wish->stream_index) == A_Err_NONE &&
          item.sound_facts.index == wish->stream_index) {
        item.sound_choice = wish->stream_index;
        return A_Err_NONE;
      }
      record.has_audio = 0;
      open.unusable_stream = unusable_before;
    }
    TraceLine() << "sound track " << wish->stream_index
                << " is not in the file as it was chosen: the first is used";
  }
  const int index = FirstStreamOf(*open.probed, AVMEDIA_TYPE_AUDIO);
  if (index < 0) return A_Err_NONE;
  return ProbeAudioStream(open, record, index);
}

}  // namespace

A_Err OpenMedia(const AEIO_BasicData* basic_data, FootageOptions& record, const char* path,
                const SoundTrackChoice* sound_wish) {
  if (basic_data == nullptr || basic_data->pica_basicP == nullptr) throw SuiteMissing{};
  record.video_open = 0;
  record.has_audio = 0;
  if (path == nullptr) return A_Err_STRUCT;

  // 1.
  Opening open;
  open.probed = OpenProbed(path);
  if (!open.probed) return A_Err_STRUCT;
  open.item->source.path = path;
  open.item->source.format = open.probed->iformat;

  // 2.
  const ContainerValues container =
      ContainerValuesFrom(open.probed->bit_rate, open.probed->duration);
  record.file_size = container.file_size;
  record.duration = container.duration;

  // 3, 4: a 2 here ends the open before the audio is looked at.
  const A_Err result = ProbeVideo(open, record);
  if (result == A_Err_STRUCT) return result;

  // 5.
  if (const A_Err audio_result = ProbeAudio(open, record, sound_wish); audio_result != A_Err_NONE) {
    return audio_result;
  }

  // 6.
  const FootageItem& item = *open.item;
  const bool video_used = item.video_facts.index >= 0;
  const bool audio_used = item.sound_facts.index >= 0;
  if (open.unusable_stream && !video_used && !audio_used) return A_Err_STRUCT;

  // 7.
  record.origin = OriginOf(video_used ? open.probed->streams[item.video_facts.index] : nullptr,
                           audio_used ? open.probed->streams[item.sound_facts.index] : nullptr);

  // 8.
  int used[2];
  size_t count = 0;
  if (video_used) used[count++] = item.video_facts.index;
  if (audio_used) used[count++] = item.sound_facts.index;
  if (!CheckDuration(*open.probed, std::span<const int>(used, count), record)) {
    TraceLine() << "import refused: the footage lasts longer than the host can be told";
    return A_Err_STRUCT;
  }
  record.item = RegisterItem(std::move(open.item));
  return result;
}
