// One owner type per FFmpeg object, for what a call creates for itself and
// for what a footage item keeps open (footage/footage_item.h).
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "footage/time_base.h"

inline TimeBase TimeBaseOf(AVRational r) { return {r.num, r.den}; }
inline AVRational RationalOf(TimeBase tb) { return {tb.num, tb.den}; }

struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwsFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
struct AvFree {
  void operator()(void* p) const { av_free(p); }
};
struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FormatContextClose {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecParametersFree {
  void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};
struct AudioFifoFree {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;
template <typename T>
using AvBufferPtr = std::unique_ptr<T, AvFree>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextClose>;
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, CodecParametersFree>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoFree>;
