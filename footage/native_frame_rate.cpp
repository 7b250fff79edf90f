#include "footage/native_frame_rate.h"

#include <cmath>
#include <cstdint>

std::optional<A_Fixed> NativeFrameRate(FootageRate rate) {
  if (rate.num <= 0 || rate.den == 0) return std::nullopt;
  const float fps = static_cast<float>(rate.num) / static_cast<float>(rate.den);
  const double scaled = static_cast<double>(fps * 65536.0f) + 0.5;
  if (!std::isfinite(scaled) || scaled >= 2147483648.0) return std::nullopt;
  return static_cast<A_Fixed>(scaled);  // truncates toward zero
}
