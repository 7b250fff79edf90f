// Opening a file: demuxer, stream information, the first video and the first
// audio stream with their decoders, the frames and the ARGB picture buffer,
// and the description the host is told.
//
// 1. Open and probe the file (2 on failure; the format context stays in the
//    record for FreeFootage).
// 2. Container values: bit rate, estimated size, duration in 1/100 s.
// 3. The first video stream (attached cover pictures are not footage); one
//    faster than 1000 fps is kept in the record but not opened.
// 4. Its decoder (2 on failure, audio not looked at), the picture fields,
//    the frames and the ARGB buffer (4 when they cannot be allocated).
// 5. The first audio stream, independently of the video; has_audio before
//    its decoder is looked for, audio_open once the decoder opened (2 on
//    failure, replacing an earlier 4).
#include "footage/open_media.h"

#include <cstdint>

#include "footage/av_owners.h"
#include "footage/media_values.h"
#include "shell/suite_cache.h"

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

// A decoder context for `stream` with the stream's parameters and time base,
// automatic frame and slice threads, opened; null when the codec has no
// decoder here or the decoder refuses to open.
CodecContextPtr OpenDecoder(const AVStream& stream, const AVCodec* codec) {
  if (codec == nullptr) return nullptr;
  CodecContextPtr context(avcodec_alloc_context3(codec));
  if (!context) return nullptr;
  if (avcodec_parameters_to_context(context.get(), stream.codecpar) < 0) return nullptr;
  context->pkt_timebase = stream.time_base;
  context->thread_count = 0;
  context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

// Step 4 after the decoder opened: frames and the ARGB picture buffer.
A_Err AllocatePictures(FootageOptions& record) {
  A_Err result = A_Err_NONE;
  record.video_frame = av_frame_alloc();
  if (record.video_frame == nullptr) result = A_Err_ALLOC;
  record.argb_frame = av_frame_alloc();
  if (record.argb_frame == nullptr) return A_Err_ALLOC;

  const int size = av_image_get_buffer_size(AV_PIX_FMT_ARGB, record.width, record.height, 1);
  if (size <= 0) return A_Err_ALLOC;
  record.argb_buffer = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(size)));
  if (record.argb_buffer == nullptr) return A_Err_ALLOC;
  record.argb_buffer_size = size;
  AVFrame& argb = *record.argb_frame;
  if (av_image_fill_arrays(argb.data, argb.linesize, record.argb_buffer, AV_PIX_FMT_ARGB,
                           record.width, record.height, 1) < 0) {
    return A_Err_ALLOC;
  }
  argb.format = AV_PIX_FMT_ARGB;
  argb.width = record.width;
  argb.height = record.height;
  return result;
}

// Steps 3 and 4. Returns 0, 2 (no usable decoder or picture size) or 4.
A_Err OpenVideo(FootageOptions& record) {
  AVFormatContext& format = *record.format_ctx;
  record.video_stream_index = FirstStreamOf(format, AVMEDIA_TYPE_VIDEO);
  if (record.video_stream_index < 0) return A_Err_NONE;
  AVStream& stream = *format.streams[record.video_stream_index];
  record.video_stream = &stream;
  if (!VideoRateAccepted(stream.r_frame_rate.num, stream.r_frame_rate.den)) return A_Err_NONE;

  record.video_codec = avcodec_find_decoder(stream.codecpar->codec_id);
  CodecContextPtr context = OpenDecoder(stream, record.video_codec);
  if (!context) return A_Err_STRUCT;
  // A picture FFmpeg cannot size cannot be delivered; the ARGB row length
  // must also fit the 32-bit row_bytes.
  if (context->width <= 0 || context->height <= 0 || context->width > INT32_MAX / 4)
    return A_Err_STRUCT;

  record.video_codec_ctx = context.release();
  record.video_open = 1;
  record.width = record.video_codec_ctx->width;
  record.height = record.video_codec_ctx->height;
  record.row_bytes = record.width * 4;
  record.frame_rate.num = stream.r_frame_rate.num;
  record.frame_rate.den = static_cast<uint32_t>(stream.r_frame_rate.den);
  record.depth = 32;
  const A_Err result = AllocatePictures(record);
  record.last_video_pts = -1;
  return result;
}

// Step 5. Returns 0 or 2.
A_Err OpenAudio(FootageOptions& record) {
  AVFormatContext& format = *record.format_ctx;
  record.audio_stream_index = FirstStreamOf(format, AVMEDIA_TYPE_AUDIO);
  if (record.audio_stream_index < 0) {
    record.has_audio = 0;
    return A_Err_NONE;
  }
  AVStream& stream = *format.streams[record.audio_stream_index];
  record.has_audio = 1;
  record.audio_stream = &stream;
  record.audio_codec = avcodec_find_decoder(stream.codecpar->codec_id);
  CodecContextPtr context = OpenDecoder(stream, record.audio_codec);
  // Without a sample rate there is no sound the host could be told about.
  if (!context || context->sample_rate <= 0) return A_Err_STRUCT;

  record.audio_codec_ctx = context.release();
  record.audio_open = 1;
  record.channels = 2;
  record.sound_rate = static_cast<double>(record.audio_codec_ctx->sample_rate);
  record.sound_encoding = AEIO_E_SIGNED_FLOAT;
  record.sample_size = 4;
  record.audio_frame = av_frame_alloc();
  return record.audio_frame != nullptr ? A_Err_NONE : A_Err_STRUCT;
}

}  // namespace

A_Err OpenMedia(const AEIO_BasicData* basic_data, FootageOptions& record, const char* path) {
  if (basic_data == nullptr || basic_data->pica_basicP == nullptr) throw SuiteMissing{};
  record.video_open = 0;
  if (path == nullptr) return A_Err_STRUCT;

  // 1. avformat_open_input frees the context itself when it fails.
  if (avformat_open_input(&record.format_ctx, path, nullptr, nullptr) != 0) return A_Err_STRUCT;
  if (avformat_find_stream_info(record.format_ctx, nullptr) < 0) return A_Err_STRUCT;

  // 2.
  const ContainerValues container =
      ContainerValuesFrom(record.format_ctx->bit_rate, record.format_ctx->duration);
  record.bit_rate = container.bit_rate;
  record.file_size = container.file_size;
  record.duration = container.duration;

  // 3, 4: a 2 here ends the open before the audio is looked at.
  const A_Err video_result = OpenVideo(record);
  if (video_result == A_Err_STRUCT) return video_result;

  // 5.
  const A_Err audio_result = OpenAudio(record);
  return audio_result != A_Err_NONE ? audio_result : video_result;
}
