// The whole state of one footage item. It lives in a host memory handle that
// the host allocates zero-filled and no constructor ever touches, so it is
// plain data: zero means "not set" for every field, and only FreeFootage
// (footage/footage_teardown.h) releases what the pointers own.
#pragma once

#include <cstdint>
#include <type_traits>

#include "shell/host_api.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVCodec;
struct AVFrame;
struct SwsContext;
struct AVAudioFifo;

struct FootageRate {
  int32_t num;
  uint32_t den;
};

struct FootageOptions {
  // ---- description told to the host
  uint8_t has_audio;   // an audio stream was found (even if its decoder then failed)
  uint8_t video_open;  // the video decoder is open and the picture fields are valid
  int32_t width;
  int32_t height;
  int32_t row_bytes;  // width * 4
  FootageRate frame_rate;  // the video stream's r_frame_rate
  int16_t depth;           // 32 once the video is open
  double sound_rate;
  int32_t bit_rate;
  int16_t sound_encoding;  // AEIO_E_SIGNED_FLOAT
  int16_t sample_size;     // 4
  int16_t channels;        // 2
  A_Time duration;         // hundredths of a second
  int64_t file_size;

  // ---- persisted: the media path as UTF-8 text, av_malloc'ed, owned
  char* path;

  // ---- open FFmpeg objects, owned from OpenMedia to dispose
  AVFormatContext* format_ctx;
  int32_t video_stream_index;
  int32_t audio_stream_index;
  AVCodecContext* video_codec_ctx;
  AVCodecContext* audio_codec_ctx;
  AVStream* video_stream;
  AVStream* audio_stream;
  const AVCodec* video_codec;
  const AVCodec* audio_codec;
  AVFrame* video_frame;
  AVFrame* argb_frame;  // one plane pointing into argb_buffer
  AVFrame* audio_frame;
  uint8_t* argb_buffer;
  SwsContext* sws_ctx;  // kept while the source and destination are unchanged
  int64_t last_video_pts;  // -1 after open, -2 after the sound path moved the demuxer

  uint8_t audio_open;  // the audio decoder opened (has_audio alone does not say so)

  // ---- video carry-over between frame requests (owned by video/)
  uint8_t video_picture_held;  // video_frame holds a decoded picture
  uint8_t video_drained;       // the decoder was drained and needs a flush before new packets
  int32_t argb_buffer_size;    // bytes allocated in argb_buffer
  uint8_t video_prev_known;    // video_prev_pts is known
  int64_t video_prev_pts;      // the picture shown before the held one (the last one, after black)

  // ---- audio carry-over between sound requests (owned by audio/). Positions
  // count decoded samples from the stream's first decoded sample.
  uint8_t audio_drained;        // the decoder was drained and needs a flush before new packets
  uint8_t audio_resume_valid;   // the demuxer and decoder stand where the last request ended;
                                // anything else that reads or seeks the demuxer clears it
  uint8_t audio_grid_known;     // audio_first_pts, audio_first_samples, audio_frame_size learned
  int64_t audio_resume_sample;  // position of the next sample to deliver (audio_pending's first)
  AVAudioFifo* audio_pending;   // converted samples decoded past the end of the last request
  int64_t audio_first_pts;      // timestamp of the first decoded frame (position 0)
  int32_t audio_first_samples;  // samples of that first frame (a codec delay may shorten it)
  int32_t audio_frame_size;     // constant samples per frame, 0 when frames vary
};

static_assert(std::is_trivial_v<FootageOptions> && std::is_standard_layout_v<FootageOptions>,
              "FootageOptions lives in zero-filled host memory and must stay plain data");
