#include "video/frame_search.h"

#include <algorithm>

#include "diag/trace_log.h"
#include "footage/decoding.h"
#include "footage/item_open.h"
#include "footage/picture_cache.h"
#include "video/frame_timing.h"

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

// True when `ts` is the stream's first picture time (or earlier).
bool IsStreamStart(const VideoReader& video, int64_t ts) {
  const int64_t start = video.facts->start_time;
  return start != AV_NOPTS_VALUE && ts <= start;
}

// Links the picture to the one the decoder gave before it, and keeps it in
// the picture cache when that one is known to be its predecessor: no picture
// in between was skipped, and display order holds.
void Chain(VideoReader& video, const AVFrame& picture, int64_t ts) {
  const bool linked =
      video.chain_known && ts > video.chain_ts && video.chain_ts >= video.skipped_up_to;
  if (linked && video.cache_id != 0) {
    PictureCache::Module().Put(video.cache_id, picture, ts, video.chain_ts);
  }
  // The next picture follows this one, unless this one came out of display
  // order (then nothing is known of what lies before the next).
  video.chain_known = ts > video.chain_ts;
  video.chain_ts = ts;
}

void EndOfInput(VideoReader& video, SearchState& search) {
  StopSkipping(video.decoder.get(), search);
  TraceLine() << "cache!!!!!!!!!!!!!!!!!!!!!";
  int32_t error = 0;
  (void)SendPacket(video.decoder.get(), nullptr, &error);  // a flush cannot be refused
  video.drained = true;
}

// Keeps a reference to `picture` as the last one passed before the window
// (a reference, not a copy; nothing is kept when memory runs out).
void KeepBefore(VideoReader& video, const AVFrame& picture) {
  if (!video.before) video.before.reset(av_frame_alloc());
  if (!video.before) return;
  av_frame_unref(video.before.get());
  if (av_frame_ref(video.before.get(), &picture) < 0) av_frame_unref(video.before.get());
}

// Hands one video packet to the decoder. Returns false when the decoder is
// busy and wants pictures received first (the packet is kept for later).
bool Decode(VideoReader& video, SearchState& search, AVPacket* packet) {
  AVCodecContext* decoder = video.decoder.get();
  if (video.drained) {  // the demuxer moved on after a drain
    avcodec_flush_buffers(decoder);
    video.drained = false;
  }
  if (search.skipping && (packet->pts == AV_NOPTS_VALUE || packet->pts >= search.full_from)) {
    StopSkipping(decoder, search);
  }
  if (search.skipping) {
    search.skipped_any = true;
    video.skipped_up_to = std::max(video.skipped_up_to, packet->pts);
  }
  int32_t error = 0;
  const Sent sent = SendPacket(decoder, packet, &error);
  if (sent == Sent::kBusy) return false;
  if (sent == Sent::kRefused) TraceLine() << "ret=" << error;
  av_packet_unref(packet);
  return true;
}

}  // namespace

int64_t StreamStart(const VideoReader& video) {
  const int64_t start = video.facts->start_time;
  return start == AV_NOPTS_VALUE ? 0 : start;
}

SearchState BeginSearch(VideoReader& video, SearchStart start, int64_t low, int64_t per,
                        int64_t stretch) {
  SearchState search;
  search.low = low;
  search.full_from = std::max(low - std::clamp<int64_t>(stretch, 0, kPtsLimit), -kPtsLimit);
  search.per = per;
  switch (start) {
    case SearchStart::kOpened:
    case SearchStart::kSeekFromStart:
      // From the start nothing precedes the first picture.
      search.prev_known = true;
      search.prev_pts = INT64_MIN;
      search.next_ts = StreamStart(video);
      break;
    case SearchStart::kReadOn:
      if (video.picture_held) {
        search.prev_known = true;
        search.prev_pts = FrameTimestamp(*video.picture);
        KeepBefore(video, *video.picture);  // receiving replaces it
        search.next_ts = search.prev_pts + per;
      } else {
        search.prev_known = video.prev_known;
        search.prev_pts = video.prev_pts;
      }
      break;
    case SearchStart::kSeek:
      search.confirm_first = true;
      search.prev_pts = INT64_MIN;
      break;
  }
  // Pictures decoded only to reach the target after a seek need not be
  // shown, so the decoder may skip the non-reference ones until then.
  const bool seeked = start == SearchStart::kSeek || start == SearchStart::kSeekFromStart;
  search.skipping = seeked && SkipsNonReference(video.decoder.get());
  video.decoder->skip_frame = search.skipping ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  return search;
}

SearchEnd DecodeUntilWindow(VideoReader& video, SearchState& search, AVPacket* packet) {
  AVCodecContext* decoder = video.decoder.get();
  AVFrame* picture = video.picture.get();
  video.picture_held = false;  // receiving replaces whatever the frame held
  bool packet_waiting = false;
  int failures = 0;
  for (;;) {
    const Received got = ReceiveFrame(decoder, picture);
    if (got == Received::kFailed) {
      if (++failures < kMaxFailuresInARow) continue;
    } else {
      failures = 0;
    }
    if (got == Received::kFrame) {
      int64_t ts = FrameTimestamp(*picture);
      if (ts == AV_NOPTS_VALUE && search.next_ts != AV_NOPTS_VALUE) {
        ts = search.next_ts;
        picture->pts = ts;  // kept with the picture, should it be held
      }
      TraceLine() << "frame_pkt=" << ts
                  << ";pict_type=" << static_cast<int32_t>(picture->pict_type);
      if (ts == AV_NOPTS_VALUE) {  // cannot be placed in time
        video.chain_known = false;
        continue;
      }
      Chain(video, *picture, ts);
      search.next_ts = ts + search.per;
      search.earliest = std::min(search.earliest, ts);
      if (search.confirm_first) {
        search.confirm_first = false;
        if (ts > search.low && !IsStreamStart(video, ts)) return SearchEnd::kSeekEarlier;
      }
      if (ts >= search.low) {
        video.picture_held = true;
        return SearchEnd::kFound;
      }
      search.prev_pts = ts;
      search.prev_known = true;
      KeepBefore(video, *picture);
      continue;
    }
    if (got == Received::kDrained || got == Received::kFailed || video.drained) {
      return search.confirm_first ? SearchEnd::kSeekEarlier : SearchEnd::kNone;
    }

    // The decoder wants input.
    if (packet_waiting) {
      packet_waiting = false;
      if (!Decode(video, search, packet)) av_packet_unref(packet);  // busy twice: drop it
      continue;
    }
    video.at_start = false;
    if (av_read_frame(video.format.get(), packet) < 0) {
      EndOfInput(video, search);
      continue;
    }
    if (packet->stream_index != video.facts->index) {
      av_packet_unref(packet);
      continue;
    }
    TraceLine() << "                packet_pts=" << static_cast<int64_t>(packet->pts)
                << ";packet_flags=" << static_cast<int32_t>(packet->flags)
                << ";packet_size=" << static_cast<int32_t>(packet->size);
    const int64_t when = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (when != AV_NOPTS_VALUE) search.earliest = std::min(search.earliest, when);
    packet_waiting = !Decode(video, search, packet);
  }
}

void SeekVideo(VideoReader& video, int64_t target, bool from_start) {
  avcodec_flush_buffers(video.decoder.get());
  video.drained = false;
  video.picture_held = false;
  video.prev_known = false;
  // From the start the first picture has no predecessor; elsewhere the next
  // picture's is not known.
  video.chain_known = from_start;
  video.chain_ts = INT64_MIN;
  video.skipped_up_to = INT64_MIN;

  // The very start by a fresh demuxer, where nothing is passed over; when the
  // file cannot be opened again, by seeking.
  if (from_start && RewindDemuxer(video.format, video.at_start, *video.source, *video.facts)) {
    return;
  }
  video.at_start = false;
  AVFormatContext* format = video.format.get();
  const int index = video.facts->index;
  if (from_start) {
    const int64_t start = video.facts->start_time;
    // Backward from the first timestamp lands on the first key frame; a
    // demuxer that cannot seek by time (a raw stream) is rewound by bytes.
    if ((start == AV_NOPTS_VALUE ||
         av_seek_frame(format, index, start, AVSEEK_FLAG_BACKWARD) < 0) &&
        avformat_seek_file(format, index, INT64_MIN, INT64_MIN, INT64_MIN, 0) < 0) {
      (void)av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
    }
  } else {
    // A failed seek leaves the demuxer where it stood; the first-picture
    // check then asks for an earlier one.
    (void)av_seek_frame(format, index, target, AVSEEK_FLAG_BACKWARD);
  }
}
