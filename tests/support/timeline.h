// The footage timeline's origin, worked out by the tests on their own from
// the file: the earlier start time of the first video stream (not a cover
// picture) and the first audio stream; a stream without one counts from 0.
#pragma once

#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

namespace zarn_test {

struct TimelineOrigin {
  int64_t pts = 0;
  AVRational tb{0, 1};  // {0, 1}: 0 s
};

// The origin of the first video stream and sound track `audio_track` (the
// n-th audio stream from 1; 0 for none).
TimelineOrigin OriginOfFile(const AVFormatContext& format, int audio_track = 1);

// The origin in units of `tb`, rounded to nearest.
int64_t OriginIn(const TimelineOrigin& origin, AVRational tb);

// Samples at `rate` from `from` (ticks of from_tb) to the origin, rounded to
// nearest, halves away from zero.
int64_t SamplesToOrigin(const TimelineOrigin& origin, int64_t from, AVRational from_tb, int rate);

}  // namespace zarn_test
