#include "footage/start_timecode.h"

#include <cstring>
#include <limits>
#include <numeric>

namespace {

// Two decimal digits at `text`, or -1.
int TwoDigits(const char* text) {
  if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') return -1;
  return (text[0] - '0') * 10 + (text[1] - '0');
}

}  // namespace

std::optional<StartTimecode> ParseStartTimecode(const char* text, int32_t rate_num,
                                                int32_t rate_den) {
  if (text == nullptr || rate_num <= 0 || rate_den <= 0) return std::nullopt;
  // Exactly HH:MM:SS:FF or HH:MM:SS;FF (some tools write '.' or ',' for the
  // drop-frame separator as well).
  if (std::strlen(text) != 11 || text[2] != ':' || text[5] != ':') return std::nullopt;
  const char separator = text[8];
  const bool drop = separator == ';' || separator == '.' || separator == ',';
  if (!drop && separator != ':') return std::nullopt;
  const int hours = TwoDigits(text), minutes = TwoDigits(text + 3);
  const int seconds = TwoDigits(text + 6), frames = TwoDigits(text + 9);
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59 ||
      frames < 0) {
    return std::nullopt;
  }
  // Timecode counts whole frames at the nominal rate (30 for 30000/1001).
  const int64_t nominal = (int64_t{rate_num} + rate_den / 2) / rate_den;
  if (nominal <= 0 || frames >= nominal) return std::nullopt;

  int64_t count = ((int64_t{hours} * 60 + minutes) * 60 + seconds) * nominal + frames;
  if (drop) {
    // Drop-frame skips the first 2 (at 60: 4) frame numbers of every minute
    // but each tenth; only the NTSC rates use it.
    const bool ntsc = rate_den == 1001 && (rate_num == 30000 || rate_num == 60000);
    if (!ntsc) return std::nullopt;
    const int64_t dropped = nominal / 15;  // 2 at 30, 4 at 60
    if (seconds == 0 && minutes % 10 != 0 && frames < dropped) return std::nullopt;
    const int64_t all_minutes = int64_t{hours} * 60 + minutes;
    count -= dropped * (all_minutes - all_minutes / 10);
  }

  // count x rate_den / rate_num seconds, reduced to fit the host's time.
  int64_t value = count * rate_den;
  int64_t scale = rate_num;
  const int64_t divisor = std::gcd(value, scale);
  if (divisor > 1) {
    value /= divisor;
    scale /= divisor;
  }
  if (value > std::numeric_limits<A_long>::max()) return std::nullopt;
  return StartTimecode{A_Time{static_cast<A_long>(value), static_cast<A_u_long>(scale)}, drop};
}
