// The start timecode cameras and edits leave in a file ("HH:MM:SS:FF", or
// "HH:MM:SS;FF" counted drop-frame), as an exact time at the footage's own
// frame rate.
#pragma once

#include <cstdint>
#include <optional>

#include "host_abi/host_api.h"

struct StartTimecode {
  A_Time start;     // frames before the first picture x one frame, reduced
  bool drop_frame;  // shown as drop-frame timecode
};

// `text` at `rate_num`/`rate_den` frames per second. Empty for anything
// that is not a valid timecode at that rate: fields out of range, a frame
// number the rate does not have, drop-frame at a rate that has none (only
// 30000/1001 and 60000/1001 drop), a frame number drop-frame skips, or a
// time the host's A_Time cannot hold exactly.
std::optional<StartTimecode> ParseStartTimecode(const char* text, int32_t rate_num,
                                                int32_t rate_den);
