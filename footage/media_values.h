// The arithmetic of the media description, as pure functions with explicit
// integer widths, so every hazard (no duration, overflow, zero denominators)
// has one defined outcome that can be tested without a file.
#pragma once

#include <cstdint>

#include "host_abi/host_api.h"

// What the container tells the host: its bit rate, an estimated size and the
// duration in hundredths of a second.
struct ContainerValues {
  int32_t bit_rate;
  int64_t file_size;
  A_Time duration;
};

// `bit_rate` in bits per second and `duration_us` in microseconds, as the
// format context reports them. A duration that is unknown (AV_NOPTS_VALUE)
// or negative counts as 0; a bit rate that is negative counts as 0 and one
// beyond 32 bits is held at INT32_MAX; a size beyond 64 bits is held at
// INT64_MAX. duration.value keeps the low 32 bits of the hundredths.
ContainerValues ContainerValuesFrom(int64_t bit_rate, int64_t duration_us);

// Whether a header's duration (microseconds; AV_NOPTS_VALUE when none) can
// be told, against `packets_us`, the span its packets show: it is known, not
// only estimated from the bit rate, positive, and within max(1 s, 1 %) of
// the packets' span either way.
bool HeaderDurationHolds(int64_t header_us, bool estimated, int64_t packets_us);

// Whether a duration in microseconds fits the host's time in hundredths of a
// second (32 bits). Unknown and negative durations are told as 0 and fit.
bool DurationFitsHostTime(int64_t duration_us);

// A video stream faster than 1000 frames per second is not footage (FFmpeg
// reports a time base as the rate when it cannot tell one); a positive
// numerator over a zero denominator is refused too.
bool VideoRateAccepted(int32_t num, int32_t den);
