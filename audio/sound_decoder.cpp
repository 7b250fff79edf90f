#include "audio/sound_decoder.h"

extern "C" {
#include <libavutil/opt.h>
}

DecodeStep ClassifyReceive(int receive_result) {
  if (receive_result >= 0) return DecodeStep::kFrame;
  if (receive_result == AVERROR(EAGAIN)) return DecodeStep::kNeedInput;
  if (receive_result == AVERROR_EOF) return DecodeStep::kDrained;
  return DecodeStep::kFailed;
}

bool NextSoundFrame(FootageOptions& record, AVPacket* packet) {
  AVCodecContext* decoder = record.audio_codec_ctx;
  for (;;) {
    if (record.audio_drained) return false;
    switch (ClassifyReceive(avcodec_receive_frame(decoder, record.audio_frame))) {
      case DecodeStep::kFrame:
        return true;
      case DecodeStep::kDrained:
        record.audio_drained = 1;
        return false;
      case DecodeStep::kFailed:
        return false;
      case DecodeStep::kNeedInput:
        break;
    }
    // Find the next packet of the audio stream; at the end of input (or a
    // read error) drain once.
    for (;;) {
      if (av_read_frame(record.format_ctx, packet) < 0) {
        if (avcodec_send_packet(decoder, nullptr) < 0) {
          record.audio_drained = 1;  // nothing can come out any more
          return false;
        }
        break;
      }
      const bool ours = packet->stream_index == record.audio_stream_index;
      // A packet the decoder refuses is a decode error: skip it, as a player would.
      const int sent = ours ? avcodec_send_packet(decoder, packet) : -1;
      av_packet_unref(packet);
      if (sent >= 0) break;
    }
  }
}

int64_t SoundFrameTimestamp(const AVFrame& frame) {
  return frame.pts != AV_NOPTS_VALUE ? frame.pts : frame.best_effort_timestamp;
}

bool RenewSoundDecoder(FootageOptions& record) {
  const AVCodec* codec = record.audio_codec;
  const AVCodecContext* old = record.audio_codec_ctx;
  if (codec == nullptr || record.audio_stream == nullptr || old == nullptr) return false;
  CodecContextPtr fresh(avcodec_alloc_context3(codec));
  if (!fresh || avcodec_parameters_to_context(fresh.get(), record.audio_stream->codecpar) < 0)
    return false;
  fresh->pkt_timebase = record.audio_stream->time_base;
  fresh->thread_count = old->thread_count;
  fresh->thread_type = old->thread_type;
  SetConsistentDecoding(fresh.get());
  if (avcodec_open2(fresh.get(), codec, nullptr) < 0) return false;
  avcodec_free_context(&record.audio_codec_ctx);
  record.audio_codec_ctx = fresh.release();
  record.audio_drained = 0;
  return true;
}

void SetConsistentDecoding(AVCodecContext* decoder) {
  // Decoders without the option refuse it; nothing else to do for them.
  (void)av_opt_set_int(decoder, "cons_noisegen", 1, AV_OPT_SEARCH_CHILDREN);
}
