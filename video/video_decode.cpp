#include "video/video_decode.h"

#include "footage/av_owners.h"

Received ReceivePicture(AVCodecContext* decoder, AVFrame* picture) {
  const int ret = avcodec_receive_frame(decoder, picture);
  if (ret >= 0) return Received::kPicture;
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

int64_t PictureTimestamp(const AVFrame& picture) {
  return picture.pts != AV_NOPTS_VALUE ? picture.pts : picture.best_effort_timestamp;
}
