// The frame request's arithmetic and course choice, table-driven.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "video/frame_timing.h"

namespace {

TEST(VideoTiming, FrameLength) {
  struct Case {
    int32_t rate_num, rate_den, tb_num, tb_den;
    int64_t per;
  } const cases[] = {
      {30000, 1001, 1, 90000, 3003},  // NTSC in MPEG time
      {25, 1, 1, 1000, 40},           // Matroska milliseconds
      {30000, 1001, 1, 1000, 33},     // truncated, not rounded
      {24000, 1001, 1, 1000, 41},
      {1000, 1, 1, 1000, 1},
      {90000, 1, 1, 1000, 0},  // shorter than a tick
      {0, 1, 1, 1000, 0},      // zero rate: no length
      {25, 0, 1, 1000, 0},
      {25, 1, 0, 1000, 0},  // zero time-base numerator
      {25, 1, 1, 0, 0},
      {-25, 1, 1, 1000, 0},
      // 32-bit products overflow here; 64 bits give the true length.
      {1, INT32_MAX, 1, INT32_MAX, int64_t{1} << 56},
      {1, 100000, 1, 90000, 9000000000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FrameLengthPts(c.rate_num, c.rate_den, {c.tb_num, c.tb_den}), c.per)
        << c.rate_num << "/" << c.rate_den << " tb " << c.tb_num << "/" << c.tb_den;
  }
}

TEST(VideoTiming, TargetTimestamp) {
  struct Case {
    int32_t value;
    uint32_t scale;
    int32_t tb_num, tb_den;
    int64_t origin;
    std::optional<int64_t> target;
  } const cases[] = {
      {1001, 30000, 1, 90000, 0, 3003},  // the second NTSC frame
      {1, 25, 1, 1000, 21, 61},          // the origin added
      {1, 25, 1, 1000, -500, -460},      // an origin before the stream's start
      {1, 3, 1, 1000, 0, 333},           // truncated
      {-1, 3, 1, 1000, 0, -333},         // toward zero
      {1, 0, 1, 1000, 0, std::nullopt},  // zero scale names no instant
      {1, 25, 0, 1000, 0, std::nullopt},
      {1, 25, 1, 0, 0, std::nullopt},
      // Extremes stay defined: scale * tb_num near 2^63, value * tb_den near 2^62.
      {INT32_MAX, UINT32_MAX, INT32_MAX, INT32_MAX, 0, 0},
      {INT32_MAX, 1, 1, INT32_MAX, 0, int64_t{INT32_MAX} * INT32_MAX},
      {INT32_MIN, 1, 1, INT32_MAX, INT64_MIN + 1, -kPtsLimit},
      {0, 1, 1, 1000, INT64_MAX, kPtsLimit},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TargetPts(c.value, c.scale, {c.tb_num, c.tb_den}, c.origin), c.target)
        << c.value << "/" << c.scale << " tb " << c.tb_num << "/" << c.tb_den;
  }
}

TEST(VideoTiming, CourseBoundaries) {
  constexpr int64_t P = 40, h = 20, L = 1000, S = 21;  // S: the stream's start
  constexpr int64_t ahead = L + h + 32 * P;
  constexpr int64_t reach = S - 1 + h + 32 * P;  // from the start of the file
  using P_ = VideoPosition;
  struct Case {
    VideoPosition position;
    int64_t last, target;
    Course course;
  } const cases[] = {
      {P_::kAfterTarget, L, L, Course::kReuse},
      {P_::kAfterTarget, L, L - h, Course::kReuse},
      {P_::kAfterTarget, L, L + h, Course::kReuse},
      {P_::kAfterTarget, L, L - h - 1, Course::kSeek},
      {P_::kAfterTarget, L, L + h + 1, Course::kReadForward},
      {P_::kAfterTarget, L, ahead, Course::kReadForward},
      {P_::kAfterTarget, L, ahead + 1, Course::kSeek},
      {P_::kAfterTarget, L, 0, Course::kSeek},
      // Real targets below 0 are targets like any other.
      {P_::kAfterTarget, -2, -2, Course::kReuse},
      {P_::kAfterTarget, -1, -1 + h + 1, Course::kReadForward},
      // Moved: never reuse.
      {P_::kUnknown, L, L, Course::kSeek},
      {P_::kUnknown, L, L + 1, Course::kSeek},
      // At the start, whatever the last target was: read on from the start,
      // also for targets before it (their picture is the first).
      {P_::kStart, L, L, Course::kReadForward},
      {P_::kStart, L, reach + 1, Course::kSeek},
      {P_::kStart, 0, S, Course::kReadForward},
      {P_::kStart, 0, reach, Course::kReadForward},
      {P_::kStart, 0, reach + 1, Course::kSeek},
      {P_::kStart, 0, -kPtsLimit, Course::kReadForward},
      {P_::kAfterTarget, 0, 0, Course::kReuse},
      {P_::kAfterTarget, kPtsLimit, -kPtsLimit, Course::kSeek},
      {P_::kAfterTarget, LLONG_MAX, LLONG_MIN, Course::kSeek},  // clamped, not overflowed
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseCourse(c.position, c.last, S, c.target, h, P), c.course)
        << static_cast<int>(c.position) << " " << c.last << " -> " << c.target;
  }
  // A zero frame length: only the same target is a reuse; anything else seeks.
  const VideoPosition after = P_::kAfterTarget;
  EXPECT_EQ(ChooseCourse(after, L, S, L, 0, 0), Course::kReuse);
  EXPECT_EQ(ChooseCourse(after, L, S, L + 1, 0, 0), Course::kSeek);
  EXPECT_EQ(ChooseCourse(after, L, S, L - 1, 0, 0), Course::kSeek);
  // The largest frame length and timestamps do not overflow.
  EXPECT_EQ(ChooseCourse(after, kPtsLimit, S, kPtsLimit, int64_t{1} << 55, int64_t{1} << 56),
            Course::kReuse);
  EXPECT_EQ(ChooseCourse(after, kPtsLimit, S, kPtsLimit + 1, LLONG_MAX, LLONG_MAX), Course::kReuse);
  EXPECT_EQ(ChooseCourse(P_::kStart, 0, LLONG_MIN, LLONG_MAX, LLONG_MAX, LLONG_MAX), Course::kSeek);
}

}  // namespace
