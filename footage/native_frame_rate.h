// The video's frame rate as the host's 16.16 fixed-point A_Fixed.
#pragma once

#include <optional>

#include "footage/footage_options.h"
#include "host_abi/host_api.h"

// Computed in single precision as the host has always been told it
// (25/1 -> 1638400, 30000/1001 -> 1964116, 24000/1001 -> 1571293). A rate
// that is not a positive finite number (0/0, a zero denominator, a zero or
// negative numerator) or does not fit 16.16 gives no value: the host is then
// told no rate and keeps its own default.
std::optional<A_Fixed> NativeFrameRate(FootageRate rate);
