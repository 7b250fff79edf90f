#include "video/frame_timing.h"

#include <algorithm>

namespace {

// A frame length beyond this is absurd; capping it keeps 32 frames ahead of
// any timestamp within 64 bits.
constexpr int64_t kFrameLimit = int64_t{1} << 56;

int64_t ClampPts(int64_t v) { return std::clamp(v, -kPtsLimit, kPtsLimit); }

}  // namespace

int64_t FrameLengthPts(int32_t rate_num, int32_t rate_den, TimeBase tb) {
  if (rate_num <= 0 || rate_den <= 0 || !IsValid(tb)) return 0;
  const int32_t tb_num = tb.num, tb_den = tb.den;
  // Each product of two positive 32-bit values fits 62 bits.
  const int64_t num = int64_t{rate_den} * tb_den;
  const int64_t den = int64_t{rate_num} * tb_num;
  return std::min(num / den, kFrameLimit);
}

std::optional<int64_t> TargetPts(int32_t value, uint32_t scale, TimeBase tb, int64_t origin) {
  if (scale == 0 || !IsValid(tb)) return std::nullopt;
  const int32_t tb_num = tb.num, tb_den = tb.den;
  // |value * tb_den| < 2^62 and scale * tb_num < 2^63 - 2^32: both fit.
  const int64_t num = int64_t{value} * tb_den;
  const int64_t den = int64_t{scale} * tb_num;
  return ClampPts(num / den + ClampPts(origin));  // division truncates toward zero; |sum| < 2^63
}

Course ChooseCourse(VideoPosition position, int64_t last, int64_t start, int64_t target,
                    int64_t half, int64_t per) {
  if (position == VideoPosition::kUnknown) return Course::kSeek;
  // Within these bounds no sum below can overflow.
  last = position == VideoPosition::kStart ? ClampPts(start) - 1 : ClampPts(last);
  target = ClampPts(target);
  half = std::clamp<int64_t>(half, 0, kFrameLimit);
  per = std::clamp<int64_t>(per, 0, kFrameLimit);
  const int64_t low = last - half;
  const int64_t high = last + half;
  if (position == VideoPosition::kAfterTarget && low <= target && target <= high)
    return Course::kReuse;
  // From the start, reading finds the first picture at or after any earlier
  // target too.
  if (target > high + 32 * per) return Course::kSeek;
  if (position == VideoPosition::kAfterTarget && target < low) return Course::kSeek;
  return Course::kReadForward;
}
