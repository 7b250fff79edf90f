// The arithmetic of a frame request, as plain functions of plain integers:
// the frame length, the target timestamp and the choice between reusing the
// held picture, reading forward and seeking. Widths are explicit; every
// input, including zero or unset time values, has a defined result.
#pragma once

#include <cstdint>
#include <optional>

#include "footage/time_base.h"
#include "footage/video_position.h"

// Timestamps are kept within +/- 2^62 so that sums and differences of a
// few of them never overflow 64 bits.
inline constexpr int64_t kPtsLimit = int64_t{1} << 62;

// One frame in time-base units: (rate_den * tb_den) / (rate_num * tb_num),
// truncated. 0 when the rate or the time base gives no length (zero or
// negative terms).
int64_t FrameLengthPts(int32_t rate_num, int32_t rate_den, TimeBase tb);

// The requested time value/scale seconds in time-base units, truncated
// toward zero, plus the timeline's origin in the same units. Empty when the
// time or the time base names no instant (zero scale, zero or negative
// time-base terms).
std::optional<int64_t> TargetPts(int32_t value, uint32_t scale, TimeBase tb, int64_t origin);

enum class Course { kReuse, kReadForward, kSeek };

// T = this target, h = half a frame, P = one frame; `start` is the stream's
// first timestamp.
//   1. Reuse when standing after L and L - h <= T <= L + h.
//   2. Seek when moved, T < L - h, or T > L + h + 32 * P.
//   3. Read forward otherwise (up to 32 and a half frames ahead).
// At the start, L counts as start - 1, and no target is behind it: the first
// request reads from the start of the file for targets up to
// start - 1 + h + 32 * P.
Course ChooseCourse(VideoPosition position, int64_t last, int64_t start, int64_t target,
                    int64_t half, int64_t per);
