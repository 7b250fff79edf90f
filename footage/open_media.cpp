// Opening a file: demuxer, stream information, the first video and the first
// audio stream with their decoders, the description the host is told, and
// the item that requests read through.
//
// 1. Open and probe the file (2 on failure).
// 2. Container values: estimated size, duration in 1/100 s.
// 3. The first video stream (attached cover pictures are not footage); one
//    faster than 1000 fps, or one FFmpeg cannot size, is not used.
// 4. Its decoder (2 on failure, audio not looked at), the picture fields and
//    the frames (4 when they cannot be allocated).
// 5. The first audio stream, independently of the video; one without a
//    sample rate is not used; its decoder (2 on failure, replacing an
//    earlier 4). The sound reads through a second demuxer of its own when
//    the picture has the first.
// 6. A stream left unused is a 2 only when no stream is usable.
// 7. The timeline's origin from the used streams; the item is committed.
#include "footage/open_media.h"

#include <cstdint>
#include <memory>

#include "footage/av_owners.h"
#include "footage/decoding.h"
#include "footage/footage_item.h"
#include "footage/media_values.h"
#include "footage/picture_facts.h"
#include "footage/timeline.h"
#include "shell/base/suite_cache.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace {

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
  AVFormatContext* raw = nullptr;
  // avformat_open_input frees the context itself when it fails.
  if (avformat_open_input(&raw, path, nullptr, nullptr) != 0) return nullptr;
  FormatContextPtr format(raw);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return nullptr;
  return format;
}

bool SameStream(const AVFormatContext& format, int index, const AVStream& probed) {
  if (index < 0 || static_cast<unsigned>(index) >= format.nb_streams) return false;
  const AVStream& stream = *format.streams[index];
  return stream.codecpar->codec_type == probed.codecpar->codec_type &&
         stream.codecpar->codec_id == probed.codecpar->codec_id &&
         av_cmp_q(stream.time_base, probed.time_base) == 0;
}

// A second demuxer on the same file for the stream `index` of `probed`. The
// format is known, and where the header lists every stream the probe's
// decoding is not needed again (the decoder takes its parameters from the
// first demuxer's probe).
FormatContextPtr OpenSecondDemuxer(const char* path, const AVFormatContext& probed, int index) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path, probed.iformat, nullptr) != 0) return nullptr;
  FormatContextPtr format(raw);
  const AVStream& wanted = *probed.streams[index];
  if ((format->ctx_flags & AVFMTCTX_NOHEADER) == 0 && SameStream(*format, index, wanted))
    return format;
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return nullptr;
  return SameStream(*format, index, wanted) ? std::move(format) : nullptr;
}

// Only the reader's own stream is read: the demuxer skips the others' data.
void ReadOnly(AVFormatContext& format, int index) {
  for (unsigned i = 0; i < format.nb_streams; ++i) {
    format.streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  }
}

// What the open found, before it is committed.
struct Opening {
  FormatContextPtr probed;  // the first demuxer, until a reader takes it
  std::unique_ptr<FootageItem> item = std::make_unique<FootageItem>();
  int video_index = -1;
  int audio_index = -1;
  bool video_usable = false;
  bool audio_usable = false;
  bool unusable_stream = false;  // a stream was found but cannot be used
};

// Steps 3 and 4. Returns 0, 2 (no decoder) or 4.
A_Err OpenVideo(Opening& open, FootageOptions& record) {
  AVFormatContext& format = *open.probed;
  open.video_index = FirstStreamOf(format, AVMEDIA_TYPE_VIDEO);
  if (open.video_index < 0) return A_Err_NONE;
  AVStream& stream = *format.streams[open.video_index];
  if (!VideoRateAccepted(stream.r_frame_rate.num, stream.r_frame_rate.den)) return A_Err_NONE;

  CodecContextPtr decoder = OpenDecoder(*stream.codecpar, stream.time_base);
  if (!decoder) return A_Err_STRUCT;
  // A picture FFmpeg cannot size cannot be delivered; the ARGB row length
  // must also fit 32 bits.
  if (decoder->width <= 0 || decoder->height <= 0 || decoder->width > INT32_MAX / 4) {
    open.unusable_stream = true;
    return A_Err_NONE;
  }
  VideoReader& video = open.item->video;
  video.stream_index = open.video_index;
  video.stream = &stream;
  video.decoder = std::move(decoder);
  open.video_usable = true;
  record.video_open = 1;
  record.width = video.decoder->width;
  record.height = video.decoder->height;
  record.frame_rate.num = stream.r_frame_rate.num;
  record.frame_rate.den = static_cast<uint32_t>(stream.r_frame_rate.den);
  // The probe's format: it decoded a picture, while some decoders reset theirs
  // at open until the first one.
  const int pix_fmt = stream.codecpar->format;
  record.depth = DeepPixelFormat(pix_fmt) ? 64 : 32;
  record.has_alpha = AlphaPixelFormat(pix_fmt) ? 1 : 0;
  record.pixel_aspect = PixelAspectFrom(av_guess_sample_aspect_ratio(&format, &stream, nullptr));
  record.fields = FieldsFrom(stream.codecpar->field_order);

  video.picture.reset(av_frame_alloc());
  const int size = av_image_get_buffer_size(AV_PIX_FMT_ARGB, record.width, record.height, 1);
  if (size > 0) video.scratch.reset(static_cast<uint8_t*>(av_malloc(static_cast<size_t>(size))));
  if (!video.picture || !video.scratch) return A_Err_ALLOC;
  video.scratch_size = size;
  return A_Err_NONE;
}

// Step 5. Returns 0 or 2.
A_Err OpenAudio(Opening& open, FootageOptions& record) {
  AVFormatContext& format = *open.probed;
  open.audio_index = FirstStreamOf(format, AVMEDIA_TYPE_AUDIO);
  if (open.audio_index < 0) return A_Err_NONE;
  AVStream& stream = *format.streams[open.audio_index];
  record.has_audio = 1;
  CodecContextPtr decoder = OpenDecoder(*stream.codecpar, stream.time_base);
  if (!decoder) return A_Err_STRUCT;
  // Without a sample rate there is no sound the host could be told about.
  if (decoder->sample_rate <= 0) {
    record.has_audio = 0;
    open.unusable_stream = true;
    return A_Err_NONE;
  }
  SoundReader& sound = open.item->sound;
  sound.stream_index = open.audio_index;
  sound.start_time = stream.start_time;
  // The probe's parameters, for a fresh decoder whenever decoding restarts
  // from the start.
  sound.params.reset(avcodec_parameters_alloc());
  if (!sound.params || avcodec_parameters_copy(sound.params.get(), stream.codecpar) < 0)
    return A_Err_STRUCT;
  sound.rate = decoder->sample_rate;
  sound.decoder = std::move(decoder);
  sound.frame.reset(av_frame_alloc());
  if (!sound.frame) return A_Err_STRUCT;
  open.audio_usable = true;
  record.channels = 2;
  record.sound_rate = static_cast<double>(sound.rate);
  record.sound_encoding = AEIO_E_SIGNED_FLOAT;
  record.sample_size = 4;
  return A_Err_NONE;
}

// Gives each used stream its demuxer: the picture keeps the probed one; the
// sound gets a second one, or the probed one when there is no picture.
A_Err GiveDemuxers(Opening& open, const char* path) {
  if (open.audio_usable) {
    SoundReader& sound = open.item->sound;
    sound.format = open.video_usable ? OpenSecondDemuxer(path, *open.probed, open.audio_index)
                                     : std::move(open.probed);
    if (!sound.format) return A_Err_STRUCT;
    sound.stream = sound.format->streams[open.audio_index];
    ReadOnly(*sound.format, open.audio_index);
  }
  if (open.video_usable) {
    open.item->video.format = std::move(open.probed);
    ReadOnly(*open.item->video.format, open.video_index);
  }
  return A_Err_NONE;
}

}  // namespace

A_Err OpenMedia(const AEIO_BasicData* basic_data, FootageOptions& record, const char* path) {
  if (basic_data == nullptr || basic_data->pica_basicP == nullptr) throw SuiteMissing{};
  record.video_open = 0;
  record.has_audio = 0;
  if (path == nullptr) return A_Err_STRUCT;

  // 1.
  Opening open;
  open.probed = OpenProbed(path);
  if (!open.probed) return A_Err_STRUCT;

  // 2.
  const ContainerValues container =
      ContainerValuesFrom(open.probed->bit_rate, open.probed->duration);
  record.file_size = container.file_size;
  record.duration = container.duration;

  // 3, 4: a 2 here ends the open before the audio is looked at.
  A_Err result = OpenVideo(open, record);
  if (result == A_Err_STRUCT) return result;

  // 5: the video's streams are still those of the probed demuxer.
  const AVStream* video_stream =
      open.video_usable ? open.probed->streams[open.video_index] : nullptr;
  const AVStream* audio_stream = nullptr;
  if (const A_Err audio_result = OpenAudio(open, record); audio_result != A_Err_NONE) {
    return audio_result;
  }
  if (open.audio_usable) audio_stream = open.probed->streams[open.audio_index];

  // 6.
  if (open.unusable_stream && !open.video_usable && !open.audio_usable) return A_Err_STRUCT;

  // 7.
  record.origin = OriginOf(video_stream, audio_stream);
  if (const A_Err demux_result = GiveDemuxers(open, path); demux_result != A_Err_NONE) {
    return demux_result;
  }
  record.item = open.item.release();
  return result;
}
