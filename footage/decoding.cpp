#include "footage/decoding.h"

extern "C" {
#include <libavutil/opt.h>
}

CodecContextPtr OpenDecoder(const AVCodecParameters& params, AVRational time_base, int threads) {
  const AVCodec* codec = avcodec_find_decoder(params.codec_id);
  if (codec == nullptr) return nullptr;
  CodecContextPtr context(avcodec_alloc_context3(codec));
  if (!context) return nullptr;
  if (avcodec_parameters_to_context(context.get(), &params) < 0) return nullptr;
  context->pkt_timebase = time_base;
  context->thread_count = threads;
  context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  // A sample's value must not depend on where decoding began (AC-3 seeds its
  // dither from each frame's own data with this); decoders without the
  // option refuse it, which changes nothing.
  (void)av_opt_set_int(context.get(), "cons_noisegen", 1, AV_OPT_SEARCH_CHILDREN);
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

Received ReceiveFrame(AVCodecContext* decoder, AVFrame* frame) {
  const int ret = avcodec_receive_frame(decoder, frame);
  if (ret >= 0) return Received::kFrame;
  if (ret == AVERROR(EAGAIN)) return Received::kNeedInput;
  if (ret == AVERROR_EOF) return Received::kDrained;
  return Received::kFailed;
}

Sent SendPacket(AVCodecContext* decoder, const AVPacket* packet, int32_t* error) {
  const int ret = avcodec_send_packet(decoder, packet);
  *error = ret;
  if (ret >= 0 || ret == AVERROR_EOF) return Sent::kTaken;  // EOF: already flushing
  if (ret == AVERROR(EAGAIN)) return Sent::kBusy;
  return Sent::kRefused;
}

int64_t FrameTimestamp(const AVFrame& frame) {
  return frame.pts != AV_NOPTS_VALUE ? frame.pts : frame.best_effort_timestamp;
}
