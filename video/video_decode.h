// The video decoder's send/receive calls, classified once: the rest of the
// frame request deals only in these outcomes.
#pragma once

#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

enum class Received {
  kPicture,    // a picture is in the frame
  kNeedInput,  // the decoder wants another packet
  kDrained,    // the decoder handed out everything after the final flush
  kFailed,     // this picture failed to decode; the next call may succeed
};

Received ReceivePicture(AVCodecContext* decoder, AVFrame* picture);

enum class Sent {
  kTaken,    // the packet is in the decoder
  kBusy,     // the decoder first wants its pending pictures received
  kRefused,  // a decode error: the packet is dropped (error code given)
};

// Sends a packet, or the final flush when `packet` is null.
Sent SendPacket(AVCodecContext* decoder, const AVPacket* packet, int32_t* error);

// The picture's timestamp: its pts, or where that is unset the decoder's
// best-effort timestamp (AV_NOPTS_VALUE when neither is known).
int64_t PictureTimestamp(const AVFrame& picture);
