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
    EXPECT_EQ(FrameLengthPts(c.rate_num, c.rate_den, c.tb_num, c.tb_den), c.per)
        << c.rate_num << "/" << c.rate_den << " tb " << c.tb_num << "/" << c.tb_den;
  }
}

TEST(VideoTiming, TargetTimestamp) {
  struct Case {
    int32_t value;
    uint32_t scale;
    int32_t tb_num, tb_den;
    int64_t start;
    bool start_unset;
    std::optional<int64_t> target;
  } const cases[] = {
      {1001, 30000, 1, 90000, 0, false, 3003},  // the second NTSC frame
      {1, 25, 1, 1000, 21, false, 61},          // start time added
      {1, 3, 1, 1000, 0, false, 333},           // truncated
      {-1, 3, 1, 1000, 0, false, -333},         // toward zero
      {5, 25, 1, 1000, 0, true, 200},           // unset start counts as 0
      {1, 0, 1, 1000, 0, false, std::nullopt},  // zero scale names no instant
      {1, 25, 0, 1000, 0, false, std::nullopt},
      {1, 25, 1, 0, 0, false, std::nullopt},
      // Extremes stay defined: scale * tb_num near 2^63, value * tb_den near 2^62.
      {INT32_MAX, UINT32_MAX, INT32_MAX, INT32_MAX, 0, false, 0},
      {INT32_MAX, 1, 1, INT32_MAX, 0, false, int64_t{INT32_MAX} * INT32_MAX},
      {INT32_MIN, 1, 1, INT32_MAX, INT64_MIN + 1, false, -kPtsLimit},
      {0, 1, 1, 1000, INT64_MAX, false, kPtsLimit},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TargetPts(c.value, c.scale, c.tb_num, c.tb_den, c.start, c.start_unset), c.target)
        << c.value << "/" << c.scale << " tb " << c.tb_num << "/" << c.tb_den;
  }
}

TEST(VideoTiming, CourseBoundaries) {
  constexpr int64_t P = 40, h = 20, L = 1000;
  constexpr int64_t ahead = L + h + 32 * P;
  struct Case {
    int64_t last, target;
    Course course;
  } const cases[] = {
      {L, L, Course::kReuse},
      {L, L - h, Course::kReuse},
      {L, L + h, Course::kReuse},
      {L, L - h - 1, Course::kSeek},
      {L, L + h + 1, Course::kReadForward},
      {L, ahead, Course::kReadForward},
      {L, ahead + 1, Course::kSeek},
      {L, 0, Course::kSeek},
      {-2, L, Course::kSeek},  // the sound path moved the demuxer
      {-2, -2, Course::kSeek},
      {-1, -1 - h, Course::kReadForward},  // after the open: from the start
      {-1, -1 - h - 1, Course::kSeek},
      {-1, -1 + h + 32 * P, Course::kReadForward},
      {-1, -1 + h + 32 * P + 1, Course::kSeek},
      {0, 0, Course::kReuse},
      {kPtsLimit, -kPtsLimit, Course::kSeek},
      {LLONG_MAX, LLONG_MIN, Course::kSeek},  // clamped, not overflowed
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseCourse(c.last, c.target, h, P), c.course) << c.last << " -> " << c.target;
  }
  // A zero frame length: only the same target is a reuse; anything else seeks.
  EXPECT_EQ(ChooseCourse(L, L, 0, 0), Course::kReuse);
  EXPECT_EQ(ChooseCourse(L, L + 1, 0, 0), Course::kSeek);
  EXPECT_EQ(ChooseCourse(L, L - 1, 0, 0), Course::kSeek);
  // The largest frame length and timestamps do not overflow.
  EXPECT_EQ(ChooseCourse(kPtsLimit, kPtsLimit, int64_t{1} << 55, int64_t{1} << 56), Course::kReuse);
  EXPECT_EQ(ChooseCourse(kPtsLimit, kPtsLimit + 1, LLONG_MAX, LLONG_MAX), Course::kReuse);
}

}  // namespace
