// One timeline for picture and sound: footage time 0 is the earlier of the
// used streams' start times, so a file whose sound starts after its picture
// plays them in sync.
#pragma once

#include <cstdint>

#include "footage/footage_options.h"

struct AVStream;
struct AVRational;

// The earlier start of the streams given (null: a stream the item does not
// use). A stream without a start time counts from 0.
FootageOrigin OriginOf(const AVStream* video, const AVStream* audio);

// The origin as a timestamp in units of tb_num/tb_den, rounded to nearest
// (exact when it is that stream's own start); 0 for an origin of 0 s.
int64_t OriginIn(const FootageOrigin& origin, int32_t tb_num, int32_t tb_den);
