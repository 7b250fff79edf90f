#include "audio/sound_math.h"

#include <limits>

namespace {

__extension__ typedef __int128 Wide;

std::optional<int64_t> Narrow(Wide value) {
  if (value < std::numeric_limits<int64_t>::min() || value > std::numeric_limits<int64_t>::max())
    return std::nullopt;
  return static_cast<int64_t>(value);
}

// numerator / denominator rounded to nearest, halves away from zero; the
// denominator is positive.
Wide DivideRounded(Wide numerator, Wide denominator) {
  const Wide magnitude = (numerator < 0 ? -numerator : numerator) * 2 + denominator;
  const Wide quotient = magnitude / (denominator * 2);
  return numerator < 0 ? -quotient : quotient;
}

// numerator / denominator rounded toward minus infinity; the denominator is
// positive.
Wide DivideFloor(Wide numerator, Wide denominator) {
  const Wide quotient = numerator / denominator;
  return (numerator % denominator != 0 && numerator < 0) ? quotient - 1 : quotient;
}

}  // namespace

std::optional<int64_t> StartSampleFromTime(int32_t value, uint32_t scale, int32_t rate) {
  if (scale == 0 || rate <= 0) return std::nullopt;
  return Narrow(DivideRounded(Wide{value} * rate, Wide{scale}));
}

std::optional<int64_t> SamplesFromTicks(int64_t ticks, TimeBase tb, int32_t rate) {
  if (tb.num <= 0 || tb.den <= 0 || rate <= 0) return std::nullopt;
  return Narrow(DivideRounded(Wide{ticks} * tb.num * rate, Wide{tb.den}));
}

std::optional<int64_t> TicksFromSamples(int64_t samples, TimeBase tb, int32_t rate) {
  if (tb.num <= 0 || tb.den <= 0 || rate <= 0) return std::nullopt;
  return Narrow(DivideFloor(Wide{samples} * tb.den, Wide{tb.num} * rate));
}

std::optional<int64_t> SamplesBetween(int64_t from, TimeBase from_tb, int64_t to, TimeBase to_tb,
                                      int32_t rate) {
  if (from_tb.num <= 0 || from_tb.den <= 0 || to_tb.num <= 0 || to_tb.den <= 0 || rate <= 0)
    return std::nullopt;
  // (to * to_tb - from * from_tb) seconds over a common denominator: each
  // product stays below 2^125. Times the rate it could not, so the whole
  // part and the remainder are scaled apart.
  const Wide numerator = Wide{to} * to_tb.num * from_tb.den - Wide{from} * from_tb.num * to_tb.den;
  const Wide denominator = Wide{to_tb.den} * from_tb.den;
  const Wide whole = numerator / denominator;
  const Wide rest = numerator % denominator;
  constexpr Wide kLimit = Wide{1} << 62;
  if (whole > kLimit / rate || whole < -kLimit / rate) return std::nullopt;
  return Narrow(whole * rate + DivideRounded(rest * rate, denominator));
}

int64_t SnapToFrameGrid(int64_t estimate, int64_t first_samples, int32_t frame_size,
                        int64_t tolerance) {
  if (frame_size <= 0 || first_samples <= 0) return estimate;
  const Wide frames = DivideRounded(Wide{estimate} - first_samples, frame_size);
  const Wide on_grid = first_samples + frames * frame_size;
  // The shortened first frame starts at 0, off the grid.
  const Wide from_grid = on_grid > estimate ? on_grid - estimate : estimate - on_grid;
  const Wide from_zero = estimate < 0 ? -Wide{estimate} : Wide{estimate};
  if (from_zero < from_grid) return from_zero <= tolerance ? 0 : estimate;
  return from_grid <= tolerance ? static_cast<int64_t>(on_grid) : estimate;
}

SoundCourse ChooseSoundCourse(bool resume_valid, int64_t next_sample, int64_t start,
                              int64_t read_forward_limit) {
  if (!resume_valid) return SoundCourse::kSeek;
  if (start == next_sample) return SoundCourse::kContinue;
  if (start > next_sample && start - next_sample <= read_forward_limit)
    return SoundCourse::kReadForward;
  return SoundCourse::kSeek;
}

int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

uint64_t SoundBufferBytes(uint32_t num_samples) {
  return uint64_t{num_samples} * 2 * sizeof(float);
}
