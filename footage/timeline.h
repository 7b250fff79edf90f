// One timeline for picture and sound: footage time 0 is the earlier of the
// used streams' start times, so a file whose sound starts after its picture
// plays them in sync.
#pragma once

#include <cstdint>

#include "footage/footage_options.h"
#include "footage/time_base.h"

struct AVStream;

// The earlier start of the streams given (null: a stream the item does not
// use). A stream without a start time counts from 0.
FootageOrigin OriginOf(const AVStream* video, const AVStream* audio);

// The origin as a timestamp in units of `tb`, rounded to nearest (exact when
// it is that stream's own start); 0 for an origin of 0 s.
int64_t OriginIn(const FootageOrigin& origin, TimeBase tb);

// The origin as an instant of a valid time base: 0 in `fallback` for an
// origin of 0 s.
FootageOrigin OriginOr(const FootageOrigin& origin, TimeBase fallback);

// The origin in microseconds (AV_TIME_BASE units).
int64_t OriginMicroseconds(const FootageOrigin& origin);
