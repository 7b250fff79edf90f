#include "audio/sound_decoder.h"

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
