// Sound for a stretch of footage samples, decoded from the item's audio
// stream: the seek, the decode, the placement of each frame and the carry-over
// that lets the next request continue where this one ended.
#pragma once

#include <cstdint>

#include "footage/footage_item.h"
#include "footage/footage_options.h"

// Writes `count` sample frames of interleaved float stereo to `out`, the
// footage's samples first .. first + count - 1, silence wherever the file has
// none. Returns the sample frames from the start of `out` up to the end of
// the last decoded sample written (the rest is silence). Needs SoundUsable.
uint64_t ReadSound(const FootageOptions& record, SoundReader& sound, int64_t first, uint64_t count,
                   float* out);
