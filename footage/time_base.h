// A time base as plain integers: FFmpeg's AVRational, without FFmpeg, so that
// the record can hold one and the timing arithmetic can be tested on its own.
// One unit is num/den seconds; only positive terms name a time base.
#pragma once

#include <cstdint>

struct TimeBase {
  int32_t num;
  int32_t den;
};

constexpr bool IsValid(TimeBase tb) { return tb.num > 0 && tb.den > 0; }
