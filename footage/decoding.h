// What picture and sound decoding share: opening a decoder for a stream, the
// send/receive protocol sorted into a few outcomes, and a frame's timestamp.
// The API generation of FFmpeg's decoding calls lives here alone.
#pragma once

#include <cstdint>

#include "footage/av_owners.h"

// A decoder for a stream's parameters and time base, with frame and slice
// threads (0: as many as FFmpeg sees fit), opened; null when the codec has no
// decoder here or the decoder refuses to open.
CodecContextPtr OpenDecoder(const AVCodecParameters& params, AVRational time_base, int threads = 0);

enum class Received {
  kFrame,      // a frame came out
  kNeedInput,  // the decoder wants another packet
  kDrained,    // everything was handed out after the final flush
  kFailed,     // this frame failed to decode; the next call may succeed
};
Received ReceiveFrame(AVCodecContext* decoder, AVFrame* frame);

enum class Sent {
  kTaken,    // the packet is in the decoder
  kBusy,     // the decoder first wants its pending frames received
  kRefused,  // a decode error: the packet is dropped (error code given)
};
// Sends a packet, or the final flush when `packet` is null.
Sent SendPacket(AVCodecContext* decoder, const AVPacket* packet, int32_t* error);

// The frame's pts, or where that is unset the decoder's best-effort
// timestamp (AV_NOPTS_VALUE when neither is known).
int64_t FrameTimestamp(const AVFrame& frame);
