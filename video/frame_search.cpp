#include "video/frame_search.h"

#include <algorithm>

#include "diag/trace_log.h"
#include "footage/av_owners.h"
#include "video/video_decode.h"

namespace {

// A decoder that keeps failing without handing out anything is treated as
// finished, so a broken stream cannot hold the host.
constexpr int kMaxFailuresInARow = 64;

bool SkipsNonReference(const AVCodecContext* decoder) {
  return decoder->codec_id == AV_CODEC_ID_H264 || decoder->codec_id == AV_CODEC_ID_HEVC;
}

void StopSkipping(AVCodecContext* decoder, SearchState& search) {
  decoder->skip_frame = AVDISCARD_DEFAULT;
  search.skipping = false;
}

void EndOfInput(FootageOptions& record, SearchState& search) {
  StopSkipping(record.video_codec_ctx, search);
  TraceLine() << "cache!!!!!!!!!!!!!!!!!!!!!";
  int32_t error = 0;
  (void)SendPacket(record.video_codec_ctx, nullptr, &error);  // a flush cannot be refused
  record.video_drained = 1;
}

// Hands one video packet to the decoder. Returns false when the decoder is
// busy and wants pictures received first (the packet is kept for later).
bool Decode(FootageOptions& record, SearchState& search, AVPacket* packet) {
  AVCodecContext* decoder = record.video_codec_ctx;
  if (record.video_drained) {  // the demuxer moved on after a drain
    avcodec_flush_buffers(decoder);
    record.video_drained = 0;
  }
  if (search.skipping && (packet->pts == AV_NOPTS_VALUE || packet->pts >= search.low)) {
    StopSkipping(decoder, search);
  }
  if (search.skipping) search.skipped_any = true;
  int32_t error = 0;
  const Sent sent = SendPacket(decoder, packet, &error);
  if (sent == Sent::kBusy) return false;
  if (sent == Sent::kRefused) TraceLine() << "ret=" << error;
  av_packet_unref(packet);
  return true;
}

}  // namespace

int64_t StreamStart(const FootageOptions& record) {
  const int64_t start = record.video_stream->start_time;
  return start == AV_NOPTS_VALUE ? 0 : start;
}

bool IsStreamStart(const FootageOptions& record, int64_t ts) {
  const int64_t start = record.video_stream->start_time;
  return start != AV_NOPTS_VALUE && ts <= start;
}

SearchEnd DecodeUntilWindow(FootageOptions& record, SearchState& search, AVPacket* packet) {
  AVCodecContext* decoder = record.video_codec_ctx;
  AVFrame* picture = record.video_frame;
  record.video_picture_held = 0;  // receiving replaces whatever the frame held
  bool packet_waiting = false;
  int failures = 0;
  for (;;) {
    const Received got = ReceivePicture(decoder, picture);
    if (got == Received::kFailed) {
      if (++failures < kMaxFailuresInARow) continue;
    } else {
      failures = 0;
    }
    if (got == Received::kPicture) {
      int64_t ts = PictureTimestamp(*picture);
      if (ts == AV_NOPTS_VALUE && search.next_ts != AV_NOPTS_VALUE) {
        ts = search.next_ts;
        picture->pts = ts;  // kept with the picture, should it be held
      }
      TraceLine() << "frame_pkt=" << ts
                  << ";pict_type=" << static_cast<int32_t>(picture->pict_type);
      if (ts == AV_NOPTS_VALUE) continue;  // cannot be placed in time
      search.next_ts = ts + search.per;
      search.earliest = std::min(search.earliest, ts);
      if (search.confirm_first) {
        search.confirm_first = false;
        if (ts > search.low && !IsStreamStart(record, ts)) return SearchEnd::kSeekEarlier;
      }
      if (ts >= search.low) {
        record.video_picture_held = 1;
        return SearchEnd::kFound;
      }
      search.prev_pts = ts;
      search.prev_known = true;
      continue;
    }
    if (got == Received::kDrained || got == Received::kFailed || record.video_drained) {
      return search.confirm_first ? SearchEnd::kSeekEarlier : SearchEnd::kNone;
    }

    // The decoder wants input.
    if (packet_waiting) {
      packet_waiting = false;
      if (!Decode(record, search, packet)) av_packet_unref(packet);  // busy twice: drop it
      continue;
    }
    record.audio_resume_valid = 0;
    if (av_read_frame(record.format_ctx, packet) < 0) {
      EndOfInput(record, search);
      continue;
    }
    if (packet->stream_index != record.video_stream_index) {
      av_packet_unref(packet);
      continue;
    }
    TraceLine() << "                packet_pts=" << static_cast<int64_t>(packet->pts)
                << ";packet_flags=" << static_cast<int32_t>(packet->flags)
                << ";packet_size=" << static_cast<int32_t>(packet->size);
    const int64_t when = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (when != AV_NOPTS_VALUE) search.earliest = std::min(search.earliest, when);
    packet_waiting = !Decode(record, search, packet);
  }
}

void SeekVideo(FootageOptions& record, int64_t target, bool from_start, SearchState& search) {
  AVCodecContext* decoder = record.video_codec_ctx;
  record.audio_resume_valid = 0;
  avcodec_flush_buffers(decoder);
  record.video_drained = 0;
  record.video_picture_held = 0;
  record.video_prev_known = 0;

  const int index = record.video_stream_index;
  if (from_start) {
    const int64_t start = record.video_stream->start_time;
    // Backward from the first timestamp lands on the first key frame; a
    // demuxer that cannot seek by time (a raw stream) is rewound by bytes.
    if ((start == AV_NOPTS_VALUE ||
         av_seek_frame(record.format_ctx, index, start, AVSEEK_FLAG_BACKWARD) < 0) &&
        avformat_seek_file(record.format_ctx, index, INT64_MIN, INT64_MIN, INT64_MIN, 0) < 0) {
      (void)av_seek_frame(record.format_ctx, -1, 0, AVSEEK_FLAG_BYTE);
    }
  } else {
    // A failed seek leaves the demuxer where it stood; the first-picture
    // check then asks for an earlier one.
    (void)av_seek_frame(record.format_ctx, index, target, AVSEEK_FLAG_BACKWARD);
  }

  search.confirm_first = !from_start;
  search.prev_known = from_start;  // from the start nothing precedes the first picture
  search.prev_pts = INT64_MIN;
  search.earliest = INT64_MAX;
  search.next_ts = from_start ? StreamStart(record) : AV_NOPTS_VALUE;
  search.skipping = SkipsNonReference(decoder);
  search.skipped_any = false;
  decoder->skip_frame = search.skipping ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
}
