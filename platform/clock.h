// A monotonic millisecond clock for the per-request timing trace line.
#pragma once

#include <cstdint>

int64_t NowMilliseconds();
