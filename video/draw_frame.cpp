// The draw-frame callback: the picture of one footage item at one time, in
// the host's frame buffer.
//
// A request, in short:
//   1. T = the requested time in the video stream's time base; P = one
//      frame, h = P / 2. The picture for T is the first one, in display
//      order, whose timestamp is at least T - h (what a full sequential
//      decode shows at T); black when there is none.
//   2. The course (ChooseCourse): reuse the held picture, read forward from
//      where the decoder stands, or seek.
//   3. The held picture (or the black of the last request) is handed out
//      again only when it is provably the answer for T; otherwise reuse
//      becomes a read forward (T moved past it) or a seek (T moved back).
//   4. After a seek, the first picture must lie before the window (or be
//      the stream's first); if it does not, or none comes, seek again
//      earlier, finally from the start. Demuxers indexed by decode time,
//      B-frames and open GOPs can land a seek past the target.
#include <algorithm>
#include <new>
#include <optional>

#include "diag/trace_log.h"
#include "footage/av_owners.h"
#include "footage/footage_options.h"
#include "footage/locked_handle.h"
#include "platform/clock.h"
#include "shell/callback_edge.h"
#include "shell/callbacks.h"
#include "shell/suite_cache.h"
#include "video/convert_frame.h"
#include "video/frame_search.h"
#include "video/frame_timing.h"
#include "video/video_decode.h"

namespace {

constexpr PF_Pixel kOpaqueBlack{255, 0, 0, 0};
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

bool HasVideo(const FootageOptions& record) {
  return record.video_open && record.format_ctx != nullptr && record.video_stream != nullptr &&
         record.video_codec_ctx != nullptr && record.video_frame != nullptr;
}

enum class Known { kUnknown, kHeld, kBlack };

// Step 3: whether the last request's outcome is already the answer for T.
// The held picture X was the first at or after L - h, so every picture
// before X lies below L - h; going back, the picture before X must lie
// below T - h too.
Known KnownAnswer(const FootageOptions& record, int64_t last, int64_t target, int64_t low) {
  if (last < 0) return Known::kUnknown;
  const bool nothing_between =
      target >= last || (record.video_prev_known && record.video_prev_pts < low);
  if (!nothing_between) return Known::kUnknown;
  if (!record.video_picture_held) return Known::kBlack;
  return PictureTimestamp(*record.video_frame) >= low ? Known::kHeld : Known::kUnknown;
}

void KeepSearchOutcome(FootageOptions& record, const SearchState& search) {
  record.video_prev_known = search.prev_known && !search.skipped_any;
  record.video_prev_pts = search.prev_pts;
}

// Step 4. True when a picture was found.
bool SeekAndDecode(FootageOptions& record, int64_t target, int64_t low, int64_t per,
                   AVPacket* packet) {
  int64_t seek_to = target;
  int64_t back = per;
  for (int attempt = 0;; ++attempt) {
    const bool from_start = attempt == kEarlierSeeks;
    SearchState search;
    search.low = low;
    search.per = per;
    SeekVideo(record, seek_to, from_start, search);
    const SearchEnd end = DecodeUntilWindow(record, search, packet);
    if (end != SearchEnd::kSeekEarlier || from_start) {
      KeepSearchOutcome(record, search);
      return end == SearchEnd::kFound;
    }
    // Before the earliest packet or picture this seek reached, so that a
    // demuxer indexed by decode time moves to an earlier key frame.
    const int64_t base = std::min(seek_to, search.earliest);
    seek_to = std::max(base - 1 - back, -kPtsLimit);
    back = std::min(back * 8, kPtsLimit);
  }
}

bool ReadForward(FootageOptions& record, int64_t last, int64_t low, int64_t per, AVPacket* packet) {
  SearchState search;
  search.low = low;
  search.per = per;
  if (last == -1) {  // the demuxer stands at the start: nothing precedes the first picture
    search.prev_known = true;
    search.prev_pts = INT64_MIN;
    search.next_ts = StreamStart(record);
  } else if (record.video_picture_held) {
    search.prev_known = true;
    search.prev_pts = PictureTimestamp(*record.video_frame);
    search.next_ts = search.prev_pts + per;
  } else {
    search.prev_known = record.video_prev_known;
    search.prev_pts = record.video_prev_pts;
  }
  record.video_codec_ctx->skip_frame = AVDISCARD_DEFAULT;
  const SearchEnd end = DecodeUntilWindow(record, search, packet);
  KeepSearchOutcome(record, search);
  return end == SearchEnd::kFound;
}

// Steps 1 to 4 for footage with video. True when the held picture is the
// answer; false for black.
bool FindPicture(FootageOptions& record, const A_Time& tr) {
  const AVRational tb = record.video_stream->time_base;
  const AVRational rate = record.video_stream->r_frame_rate;
  const int64_t per = FrameLengthPts(rate.num, rate.den, tb.num, tb.den);
  const int64_t half = per / 2;
  const int64_t start = record.video_stream->start_time;
  const std::optional<int64_t> target =
      TargetPts(tr.value, tr.scale, tb.num, tb.den, start, start == AV_NOPTS_VALUE);
  const int64_t last = record.last_video_pts;
  TraceLine() << "seek time=" << static_cast<int32_t>(tr.value) << "/"
              << static_cast<uint32_t>(tr.scale)
              << ";seek_pts=" << static_cast<int64_t>(target.value_or(AV_NOPTS_VALUE));
  TraceLine() << "last_pts=" << last << ";per_pts=" << per;
  if (!target) return false;  // the time names no instant: black, nothing moved

  const int64_t low = *target - half;
  const Course course = ChooseCourse(last, *target, half, per);
  if (course != Course::kSeek) {
    const Known known = KnownAnswer(record, last, *target, low);
    if (known != Known::kUnknown) {
      record.last_video_pts = *target;
      return known == Known::kHeld;
    }
  }

  PacketPtr packet(av_packet_alloc());
  if (!packet) throw std::bad_alloc();
  const bool forward =
      course != Course::kSeek &&
      (last == -1 || (record.video_picture_held && PictureTimestamp(*record.video_frame) < low));
  const bool found = forward ? ReadForward(record, last, low, per, packet.get())
                             : SeekAndDecode(record, *target, low, per, packet.get());
  record.last_video_pts = *target;
  return found;
}

A_Err DrawFrame(AEIO_BasicData* basic_data, AEIO_InSpecH spec, const AEIO_DrawSparseFramePB* params,
                PF_EffectWorld* world) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  void* options = nullptr;
  if (const A_Err err = suites.IOInSuite()->AEGP_GetInSpecOptionsHandle(spec, &options);
      err != A_Err_NONE) {
    return err;
  }
  LockedHandle lock(suites.MemorySuite(), static_cast<AEGP_MemHandle>(options));
  if (options != nullptr) {
    if (const A_Err err = lock.Lock(); err != A_Err_NONE) return err;
  }
  auto* record = static_cast<FootageOptions*>(lock.data());

  bool delivered = false;
  if (record != nullptr && HasVideo(*record) && params != nullptr) {
    delivered = FindPicture(*record, params->tr) && world != nullptr &&
                ConvertFrameToWorld(*record, *record->video_frame, *world);
  }
  if (!delivered && world != nullptr) {
    (void)suites.FillMatteSuite()->fill(nullptr, &kOpaqueBlack, nullptr, world);  // best effort
  }
  TraceLine() << (delivered ? "SUCCEED!" : "SPARE!!!");
  return lock.Unlock();
}

}  // namespace

A_Err Zarn_DrawSparseFrame(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                           const AEIO_DrawSparseFramePB* sparse_framePPB, PF_EffectWorld* wP,
                           AEIO_DrawingFlags*) {
  const FrameTimeLine timing;
  return CallbackEdge([&] { return DrawFrame(basic_dataP, specH, sparse_framePPB, wP); });
}
