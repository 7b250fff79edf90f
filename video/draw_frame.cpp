// The draw-frame callback: the picture of one footage item at one time, in
// the host's frame buffer.
//
// A request, in short:
//   1. T = the timeline's origin plus the requested time, in the video
//      stream's time base; P = one frame, h = P / 2. The picture for T is
//      the first one, in display order, whose timestamp is at least T - h
//      (what a full sequential decode shows at T); black when there is none.
//   2. The course (ChooseCourse): reuse the held picture, read forward from
//      where the decoder stands, or seek.
//   3. The held picture (or the black of the last request) is handed out
//      again only when it is provably the answer for T; otherwise reuse
//      becomes a read forward (T moved past it) or a seek (T moved back).
//   4. After a seek, the first picture must lie before the window (or be
//      the stream's first); if it does not, or none comes, seek again
//      earlier, finally from the start. Demuxers indexed by decode time,
//      B-frames and open GOPs can land a seek past the target.
//   5. A picture that lies beyond T + h (T is in a gap of a variable-rate
//      file: recorders drop unchanged frames) is not shown yet: the one
//      before it is held, as a sequential player shows it; the picture
//      itself when none comes before it.
#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

#include "diag/trace_log.h"
#include "footage/av_owners.h"
#include "footage/decoding.h"
#include "footage/footage_item.h"
#include "footage/footage_options.h"
#include "footage/item_registry.h"
#include "footage/locked_record.h"
#include "footage/picture_cache.h"
#include "footage/timeline.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/suite_cache.h"
#include "platform/clock.h"
#include "video/convert_frame.h"
#include "video/frame_search.h"
#include "video/frame_timing.h"
#include "video/opaque_black.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace {

// Seeks before the last resort of decoding from the start.
constexpr int kEarlierSeeks = 3;

// Writes the "frame time" line on every way out of the callback.
class FrameTimeLine {
 public:
  FrameTimeLine() : start_(NowMilliseconds()) {}
  FrameTimeLine(const FrameTimeLine&) = delete;
  FrameTimeLine& operator=(const FrameTimeLine&) = delete;
  ~FrameTimeLine() {
    TraceLine() << "frame time" << static_cast<int32_t>(NowMilliseconds() - start_);
  }

 private:
  int64_t start_;
};

enum class Known { kUnknown, kHeld, kBlack };

// Step 3: whether the last request's outcome is already the answer for T.
// The held picture X was the first at or after L - h, so every picture
// before X lies below L - h; going back, the picture before X must lie
// below T - h too.
Known KnownAnswer(const VideoReader& video, int64_t target, int64_t low) {
  if (video.position != VideoPosition::kAfterTarget) return Known::kUnknown;
  const bool nothing_between =
      target >= video.last_target || (video.prev_known && video.prev_pts < low);
  if (!nothing_between) return Known::kUnknown;
  if (!video.picture_held) return Known::kBlack;
  return FrameTimestamp(*video.picture) >= low ? Known::kHeld : Known::kUnknown;
}

int64_t PictureBytesOf(const AVCodecContext& decoder) {
  return PictureBytesOf(decoder.pix_fmt, decoder.width, decoder.height);
}

// How far before the window a search after a seek decodes every picture, so
// that steps back find them in the picture cache. While the host plays
// backward, as many frames as three quarters of the item's share of the
// cache holds (the rest of its share goes first): each seek then serves as
// many steps as it can. Otherwise a few (scrubbing around a point, blending
// neighbours): decoding more would slow random access down to what a step
// back might never ask for. Within 2 to 64 frames; none without a cache.
int64_t Stretch(const VideoReader& video, int64_t per) {
  constexpr int64_t kAroundPoint = 8;
  const PictureCache& cache = PictureCache::Module();
  if (!cache.enabled()) return 0;
  const int64_t bytes = PictureBytesOf(*video.stream.decoder);
  const int64_t fit = static_cast<int64_t>(cache.item_bound() / 4 * 3) / bytes;
  const int64_t frames =
      std::clamp<int64_t>(video.stepping_back ? fit : std::min(fit, kAroundPoint), 2, 64);
  return std::min(frames * per, kPtsLimit);
}

// One search from `start`; keeps what it learned about the picture before
// the window. `earliest` gets the lowest timestamp it read. `whole`: no
// picture is skipped, so the one before the window is known.
SearchEnd Search(VideoReader& video, SearchStart start, int64_t low, int64_t per,
                 int64_t* earliest = nullptr, bool whole = false) {
  SearchState search = BeginSearch(video, start, low, per, whole ? kPtsLimit : Stretch(video, per));
  const SearchEnd end = DecodeUntilWindow(video, search);
  video.prev_known = search.prev_known && !search.skipped_any;
  video.prev_pts = search.prev_pts;
  if (earliest != nullptr) *earliest = search.earliest;
  return end;
}

// Step 4. True when a picture was found.
bool SeekAndDecode(VideoReader& video, int64_t target, int64_t low, int64_t per,
                   bool whole = false) {
  int64_t seek_to = target;
  // Between 0 and kPtsLimit / 2, so that the sums below cannot overflow.
  int64_t back = std::clamp<int64_t>(per, 0, kPtsLimit / 2);
  for (int attempt = 0;; ++attempt) {
    const bool from_start = attempt == kEarlierSeeks;
    SeekVideo(video, seek_to, from_start);
    int64_t earliest = INT64_MAX;
    const SearchEnd end =
        Search(video, from_start ? SearchStart::kSeekFromStart : SearchStart::kSeek, low, per,
               &earliest, whole);
    if (end != SearchEnd::kSeekEarlier || from_start) return end == SearchEnd::kFound;
    // Before the earliest packet or picture this seek reached, so that a
    // demuxer indexed by decode time moves to an earlier key frame.
    // A damaged file's timestamps may lie anywhere: the base is kept within
    // ±kPtsLimit.
    const int64_t base = std::clamp(std::min(seek_to, earliest), -kPtsLimit, kPtsLimit);
    seek_to = std::max(base - 1 - back, -kPtsLimit);
    back = std::min(back, kPtsLimit / 16) * 8;
  }
}

// What the trace shows as the last target: the target, or the markers the
// log has always used for "nothing decoded yet" (-1) and "moved" (-2).
int64_t TracedLast(const VideoReader& video) {
  switch (video.position) {
    case VideoPosition::kStart:
      return -1;
    case VideoPosition::kUnknown:
      return -2;
    case VideoPosition::kAfterTarget:
      break;
  }
  return video.last_target;
}

// The picture before the held one, when the last search knew it.
const AVFrame* KnownBefore(const VideoReader& video) {
  if (!video.picture_held || !video.prev_known || !video.before || !video.before->buf[0])
    return nullptr;
  return FrameTimestamp(*video.before) == video.prev_pts ? video.before.get() : nullptr;
}

// Step 5: `found` (at `ts`), or the picture before it when T lies in a gap.
// Timestamps rounded to the time base (NTSC rates in milliseconds) stray
// from the grid by a tick or two: an eighth of a frame more is no gap.
const AVFrame* HoldThroughGap(VideoReader& video, const AVFrame* found, int64_t target,
                              int64_t half, int64_t per, FramePtr* cached) {
  if (found == nullptr) return nullptr;
  const int64_t ts = FrameTimestamp(*found);
  if (ts <= target + half + std::max<int64_t>(per / 8, 1) || ts <= StreamStart(video)) return found;
  if (found == cached->get()) {
    // The cache links each picture to the one before it.
    int64_t prev = INT64_MIN;
    const FramePtr self = PictureCache::Module().Find(video.cache_id, ts, nullptr, &prev);
    if (!self || prev == INT64_MIN) return found;  // the stream's first picture
    if (FramePtr before = PictureCache::Module().Find(video.cache_id, prev)) {
      *cached = std::move(before);
      return cached->get();
    }
    cached->reset();
  } else if (const AVFrame* before = KnownBefore(video)) {
    return before;
  }
  // Decode to it again, this time skipping nothing.
  video.position = VideoPosition::kUnknown;
  const bool again = SeekAndDecode(video, target, target - half, per, true);
  video.position = VideoPosition::kAfterTarget;
  video.last_target = target;
  if (!again) return nullptr;
  if (const AVFrame* before = KnownBefore(video)) return before;
  return video.picture.get();
}

// What a request asked for, in the stream's time base.
struct Wanted {
  std::optional<int64_t> target;
  int64_t per = 0;
};

// Steps 1 to 4 for footage with video: the held picture, a cached one (kept
// alive by *cached), or null for black.
const AVFrame* FindPicture(const FootageOptions& record, VideoReader& video, const A_Time& tr,
                           FramePtr* cached, Wanted* wanted) {
  const TimeBase tb = TimeBaseOf(video.stream.facts->time_base);
  const AVRational rate = video.stream.facts->frame_rate;
  const int64_t per = FrameLengthPts(rate.num, rate.den, tb);
  const int64_t half = per / 2;
  const std::optional<int64_t> target =
      TargetPts(tr.value, tr.scale, tb, OriginIn(record.origin, tb));
  TraceLine() << "seek time=" << static_cast<int32_t>(tr.value) << "/"
              << static_cast<uint32_t>(tr.scale)
              << ";seek_pts=" << static_cast<int64_t>(target.value_or(AV_NOPTS_VALUE));
  TraceLine() << "last_pts=" << TracedLast(video) << ";per_pts=" << per;
  if (!target) return nullptr;  // the time names no instant: black, nothing moved
  video.stepping_back = video.last_request != INT64_MIN && *target < video.last_request &&
                        video.last_request - *target <= 2 * per;
  wanted->target = target;
  wanted->per = per;

  const int64_t low = *target - half;
  // A picture the cache knows to be the answer costs a conversion only; the
  // decoder stays where it stands.
  if (video.cache_id != 0) {
    *cached = PictureCache::Module().Find(video.cache_id, low);
    if (*cached) return HoldThroughGap(video, cached->get(), *target, half, per, cached);
  }
  const Course course =
      ChooseCourse(video.position, video.last_target, StreamStart(video), *target, half, per);
  if (course != Course::kSeek) {
    const Known known = KnownAnswer(video, *target, low);
    if (known != Known::kUnknown) {
      video.last_target = *target;
      return known == Known::kHeld
                 ? HoldThroughGap(video, video.picture.get(), *target, half, per, cached)
                 : nullptr;
    }
  }

  const VideoPosition was = video.position;
  const bool forward =
      course != Course::kSeek && (was == VideoPosition::kStart ||
                                  (video.picture_held && FrameTimestamp(*video.picture) < low));
  // Until the search ends, the decoder stands nowhere known: a request cut
  // short by an exception leaves the next one to seek.
  video.position = VideoPosition::kUnknown;
  bool found = false;
  if (forward) {
    const SearchStart start =
        was == VideoPosition::kStart ? SearchStart::kOpened : SearchStart::kReadOn;
    found = Search(video, start, low, per) == SearchEnd::kFound;
  } else {
    found = SeekAndDecode(video, *target, low, per);
  }
  video.position = VideoPosition::kAfterTarget;
  video.last_target = *target;
  return found ? HoldThroughGap(video, video.picture.get(), *target, half, per, cached) : nullptr;
}

// One picture ahead, on the worker: what a request for the frame after the
// decoder's last target does when it reads on (course 3), so that the cache
// holds the answer before the host asks. False when there is nothing more
// to do.
bool StepAhead(VideoReader& video) {
  const int64_t per = video.ahead_per;
  if (per <= 0 || video.ahead_until == INT64_MIN || video.position != VideoPosition::kAfterTarget ||
      video.last_target > video.ahead_until - per) {
    return false;
  }
  const int64_t next = video.last_target + per;
  const int64_t low = next - per / 2;
  bool more = true;
  if (!video.picture_held || FrameTimestamp(*video.picture) < low) {
    // Only what the cache will hold until it is asked for.
    const auto bytes = static_cast<size_t>(PictureBytesOf(*video.stream.decoder));
    if (!PictureCache::Module().RoomAhead(video.cache_id, bytes)) return false;
    video.position = VideoPosition::kUnknown;
    struct Ahead {
      bool& flag;
      ~Ahead() { flag = false; }
    } ahead{video.decoding_ahead = true};
    more = Search(video, SearchStart::kReadOn, low, per) == SearchEnd::kFound;
  }
  video.position = VideoPosition::kAfterTarget;
  video.last_target = next;
  return more && next <= video.ahead_until - per;
}

// After a request: when it came in playing order (about one frame after the
// host's last one), the worker decodes on to a few frames past it;
// otherwise it stops where it is.
void PlanAhead(VideoReader& video, FootageItem& item, int64_t target, int64_t per) {
  const int depth = ReadAheadDepth();
  // The same frame asked again (frame blending asks N, N+1, N+1, N+2, ...)
  // keeps playing order.
  const bool in_order = video.last_request != INT64_MIN && target >= video.last_request &&
                        target - video.last_request <= 2 * per;
  video.last_request = target;
  // Frames longer than this could not be counted ahead within the range
  // timestamps are kept in.
  const bool countable = per > 0 && per <= kPtsLimit / 128;
  if (depth <= 0 || !countable || !in_order || !PictureCache::Module().enabled()) {
    if (video.ahead_until != INT64_MIN) PictureCache::Module().EndAhead(video.cache_id);
    video.ahead_until = INT64_MIN;
    return;
  }
  video.ahead_per = per;
  video.ahead_until = target + depth * per;
  if (!video.read_ahead) {
    video.read_ahead = std::make_unique<ReadAhead>(item, [&video] { return StepAhead(video); });
  }
  video.read_ahead->Arm();
}

A_Err DrawFrame(AEIO_BasicData* basic_data, AEIO_InSpecH spec, const AEIO_DrawSparseFramePB* params,
                PF_EffectWorld* world) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  LockedRecord lock(suites, spec);
  if (lock.error() != A_Err_NONE) return lock.error();
  const FootageOptions* record = lock.get();

  bool delivered = false;
  bool failed = false;  // a picture was found but could not be made
  if (record != nullptr && record->video_open && params != nullptr) {
    // The item's own work under its lock; the host's calls after it.
    ItemUse use(record);
    if (VideoReader* video = use ? OpenedVideo(*record, use) : nullptr) {
      FramePtr cached;
      Wanted wanted;
      const AVFrame* picture = FindPicture(*record, *video, params->tr, &cached, &wanted);
      if (wanted.target) PlanAhead(*video, *use, *wanted.target, wanted.per);
      if (picture != nullptr && world != nullptr) {
        // With its own reference to the picture the conversion needs the
        // item no more: the item is given back and decodes on meanwhile.
        const std::shared_ptr<PictureConverter> converter = video->converter;
        FramePtr own(av_frame_alloc());
        if (own && av_frame_ref(own.get(), picture) >= 0) {
          picture = own.get();
          use.Release();
        }
        const std::lock_guard<std::mutex> converting(converter->lock);
        delivered = ConvertFrameToWorld(*converter, *picture, *world);
        failed = !delivered;
      }
    }
  }
  if (!delivered && world != nullptr) {
    (void)FillOpaqueBlack(*suites.FillMatteSuite(), *world);  // best effort
  }
  TraceLine() << (delivered ? "SUCCEED!" : "SPARE!!!");
  // Black stands for no picture (past the end, none in the file), never for
  // one that could not be made.
  return FirstError(failed ? A_Err_STRUCT : A_Err_NONE, lock.Unlock());
}

}  // namespace

A_Err Zarn_DrawSparseFrame(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                           const AEIO_DrawSparseFramePB* sparse_framePPB, PF_EffectWorld* wP,
                           AEIO_DrawingFlags*) {
  const FrameTimeLine timing;
  return CallbackEdge([&] { return DrawFrame(basic_dataP, specH, sparse_framePPB, wP); });
}
