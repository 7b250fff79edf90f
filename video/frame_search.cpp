#include "video/frame_search.h"

#include <algorithm>

#include "diag/trace_log.h"
#include "footage/decoding.h"
#include "footage/picture_cache.h"
#include "video/frame_timing.h"

namespace {

bool SkipsNonReference(const AVCodecContext* decoder) {
  return decoder->codec_id == AV_CODEC_ID_H264 || decoder->codec_id == AV_CODEC_ID_HEVC;
}

void StopSkipping(AVCodecContext* decoder, SearchState& search) {
  decoder->skip_frame = AVDISCARD_DEFAULT;
  search.skipping = false;
}

// True when `ts` is the stream's first picture time (or earlier).
bool IsStreamStart(const VideoReader& video, int64_t ts) {
  const int64_t start = video.stream.facts->start_time;
  return start != AV_NOPTS_VALUE && ts <= start;
}

// Links the picture to the one the decoder gave before it, and keeps it in
// the picture cache when that one is known to be its predecessor: no picture
// in between was skipped, and display order holds.
void Chain(VideoReader& video, const AVFrame& picture, int64_t ts) {
  const bool linked =
      video.chain_known && ts > video.chain_ts && video.chain_ts >= video.skipped_up_to;
  if (linked && video.cache_id != 0) {
    PictureCache::Module().Put(video.cache_id, picture, ts, video.chain_ts, video.decoding_ahead);
  }
  // The next picture follows this one, unless this one came out of display
  // order (then nothing is known of what lies before the next).
  video.chain_known = ts > video.chain_ts;
  video.chain_ts = ts;
}

// Keeps a reference to `picture` as the last one passed before the window
// (a reference, not a copy; nothing is kept when memory runs out).
void KeepBefore(VideoReader& video, const AVFrame& picture) {
  if (!video.before) video.before.reset(av_frame_alloc());
  if (!video.before) return;
  av_frame_unref(video.before.get());
  if (av_frame_ref(video.before.get(), &picture) < 0) av_frame_unref(video.before.get());
}

// The search's view of the packet loop: the trace lines, the earliest
// timestamp read, and when to stop skipping non-reference pictures.
class SearchWatch final : public PacketWatch {
 public:
  SearchWatch(VideoReader& video, SearchState& search) : video_(video), search_(search) {}

  void Packet(AVCodecContext& decoder, const AVPacket& packet) override {
    TraceLine() << "                packet_pts=" << static_cast<int64_t>(packet.pts)
                << ";packet_flags=" << static_cast<int32_t>(packet.flags)
                << ";packet_size=" << static_cast<int32_t>(packet.size);
    const int64_t when = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    if (when != AV_NOPTS_VALUE) search_.earliest = std::min(search_.earliest, when);
    if (search_.skipping && (packet.pts == AV_NOPTS_VALUE || packet.pts >= search_.full_from)) {
      StopSkipping(&decoder, search_);
    }
    if (search_.skipping) {
      search_.skipped_any = true;
      video_.skipped_up_to = std::max(video_.skipped_up_to, packet.pts);
    }
  }
  void Refused(int32_t error) override { TraceLine() << "ret=" << error; }
  void EndOfInput(AVCodecContext& decoder) override {
    StopSkipping(&decoder, search_);
    TraceLine() << "cache!!!!!!!!!!!!!!!!!!!!!";
  }

 private:
  VideoReader& video_;
  SearchState& search_;
};

// The time one frame after `ts`: unknown past the end of the range, where a
// damaged file's timestamps may lie.
int64_t OneFrameOn(int64_t ts, int64_t per) {
  return ts <= INT64_MAX - per ? ts + per : AV_NOPTS_VALUE;
}

}  // namespace

int64_t StreamStart(const VideoReader& video) {
  const int64_t start = video.stream.facts->start_time;
  return start == AV_NOPTS_VALUE ? 0 : start;
}

SearchState BeginSearch(VideoReader& video, SearchStart start, int64_t low, int64_t per,
                        int64_t stretch) {
  SearchState search;
  search.low = low;
  // A damaged file's window may lie below the kept range: it is taken from
  // the range's end, so the difference cannot overflow.
  search.full_from =
      std::max(std::max(low, -kPtsLimit) - std::clamp<int64_t>(stretch, 0, kPtsLimit), -kPtsLimit);
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
        search.next_ts = OneFrameOn(search.prev_pts, per);
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
  search.skipping = seeked && SkipsNonReference(video.stream.decoder.get());
  video.stream.decoder->skip_frame = search.skipping ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  return search;
}

SearchEnd DecodeUntilWindow(VideoReader& video, SearchState& search) {
  AVFrame* picture = video.picture.get();
  video.picture_held = false;  // receiving replaces whatever the frame held
  SearchWatch watch(video, search);
  while (video.stream.NextFrame(picture, &watch)) {
    int64_t ts = FrameTimestamp(*picture);
    if (ts == AV_NOPTS_VALUE && search.next_ts != AV_NOPTS_VALUE) {
      ts = search.next_ts;
      picture->pts = ts;  // kept with the picture, should it be held
    }
    TraceLine() << "frame_pkt=" << ts << ";pict_type=" << static_cast<int32_t>(picture->pict_type);
    if (ts == AV_NOPTS_VALUE) {  // cannot be placed in time
      video.chain_known = false;
      continue;
    }
    Chain(video, *picture, ts);
    search.next_ts = OneFrameOn(ts, search.per);
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
  }
  return search.confirm_first ? SearchEnd::kSeekEarlier : SearchEnd::kNone;
}

void SeekVideo(VideoReader& video, int64_t target, bool from_start) {
  video.picture_held = false;
  video.prev_known = false;
  // From the start the first picture has no predecessor; elsewhere the next
  // picture's is not known.
  video.chain_known = from_start;
  video.chain_ts = INT64_MIN;
  video.skipped_up_to = INT64_MIN;
  // The decoder starts afresh here anyway: one opened with another share of
  // the cores is replaced, so an item left playing alone gets them back.
  const int threads = PictureDecoderThreads(video.cache_id, *video.stream.facts->params);
  const bool renew = threads != video.stream.threads;
  video.stream.threads = threads;
  if (from_start) {
    video.stream.SeekToStart(video.stream.facts->start_time, renew);
  } else {
    // A failed seek leaves the demuxer where it stood; the first-picture
    // check then asks for an earlier one.
    video.stream.Seek(target, renew);
  }
}
