#include "footage/media_values.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int64_t kMicrosPerHundredth = 10000;
constexpr int64_t kBitMicrosPerByte = 8 * 1000000;  // bits per byte x microseconds per second

}  // namespace

ContainerValues ContainerValuesFrom(int64_t bit_rate, int64_t duration_us) {
  ContainerValues values{};
  if (bit_rate > std::numeric_limits<int32_t>::max())
    bit_rate = std::numeric_limits<int32_t>::max();
  if (bit_rate < 0) bit_rate = 0;
  // AV_NOPTS_VALUE is INT64_MIN, so "unknown" falls under "negative" here.
  if (duration_us < 0) duration_us = 0;
  values.bit_rate = static_cast<int32_t>(bit_rate);

  // bit_rate x duration / 8000000, truncated, without a 128-bit product:
  // the whole seconds' part and the remainder's part are exact separately.
  const int64_t whole = duration_us / kBitMicrosPerByte;
  const int64_t rest = duration_us % kBitMicrosPerByte;
  if (bit_rate != 0 && whole > std::numeric_limits<int64_t>::max() / bit_rate - 1) {
    values.file_size = std::numeric_limits<int64_t>::max();
  } else {
    values.file_size = bit_rate * whole + bit_rate * rest / kBitMicrosPerByte;
  }

  // Modular conversion (defined since C++20): the host's A_Time holds 32 bits.
  values.duration.value =
      static_cast<A_long>(static_cast<uint32_t>(duration_us / kMicrosPerHundredth));
  values.duration.scale = 100;
  return values;
}

bool HeaderDurationHolds(int64_t header_us, bool estimated, int64_t packets_us) {
  if (estimated || header_us <= 0) return false;  // AV_NOPTS_VALUE is negative
  const int64_t slack = std::max<int64_t>(1000000, packets_us / 100);
  // Both positive: the difference cannot overflow.
  return header_us - packets_us <= slack && packets_us - header_us <= slack;
}

bool DurationFitsHostTime(int64_t duration_us) {
  return duration_us / kMicrosPerHundredth <= std::numeric_limits<int32_t>::max();
}

bool VideoRateAccepted(int32_t num, int32_t den) {
  return static_cast<int64_t>(num) <= static_cast<int64_t>(den) * 1000;
}
