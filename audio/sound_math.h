// Sample and timestamp arithmetic of the sound path, free of FFmpeg so it can
// be tested on its own. Every quantity has an explicit width; products that
// could leave 64 bits are formed in 128.
//
// Positions are "decode samples": sample 0 is the first sample of the first
// frame a continuous decode of the stream yields (its timestamp is
// first_pts), and each later sample follows at 1/rate. Footage sample n (what
// the host asks for) sits at the timeline's origin + n / rate, so it is
// decode sample n + the samples from first_pts to the origin.
#pragma once

#include <cstdint>
#include <optional>

#include "footage/time_base.h"

// The footage sample the host's start time falls on: round(value / scale *
// rate), halves away from zero. The host also passes a sample index, but only
// as an unsigned 32-bit value that cannot say "before the start"; the time is
// what positions, as in the original design. Empty for a zero scale or a rate
// that is not positive.
std::optional<int64_t> StartSampleFromTime(int32_t value, uint32_t scale, int32_t rate);

// Samples covered by `ticks` of the time base at `rate`, rounded to nearest
// (halves away from zero). Empty for a time base or rate that is not positive.
std::optional<int64_t> SamplesFromTicks(int64_t ticks, TimeBase tb, int32_t rate);

// The last tick at or before `samples` at `rate` (rounded down). Empty as
// above.
std::optional<int64_t> TicksFromSamples(int64_t samples, TimeBase tb, int32_t rate);

// The samples at `rate` from the instant `from` (ticks of from_tb) to the
// instant `to` (ticks of to_tb), rounded to nearest (halves away from zero),
// exact whatever the two time bases. Empty for a time base or rate that is
// not positive, or a count beyond 2^62.
std::optional<int64_t> SamplesBetween(int64_t from, TimeBase from_tb, int64_t to, TimeBase to_tb,
                                      int32_t rate);

// Places a frame whose rounded timestamp says `estimate` on the frame grid of
// a codec with constant frame size: frames start at first_samples + k *
// frame_size for any k (a frame before the first one holds the codec's start
// delay, which a continuous decode trims), and the first frame, shortened by
// that delay, starts at 0. With frame_size 0 (varying frames), or when the
// nearest of those starts lies further than `tolerance` from the estimate
// (the grid does not hold there), the estimate stands.
int64_t SnapToFrameGrid(int64_t estimate, int64_t first_samples, int32_t frame_size,
                        int64_t tolerance);

// Bytes of a host buffer of `num_samples` sample frames of float stereo, the
// only format the module announces: in 64 bits, so no request length wraps.
uint64_t SoundBufferBytes(uint32_t num_samples);

// a + b, held at the ends of the 64-bit range instead of overflowing.
int64_t SaturatingAdd(int64_t a, int64_t b);

// How a request reaches its first sample.
enum class SoundCourse {
  kContinue,     // it starts where the previous request ended
  kReadForward,  // a little later: decode on and drop what lies between
  kSeek,         // anywhere else
};
// `next_sample` is the decode position the previous request left behind,
// when it is still valid (nothing moved the demuxer since).
SoundCourse ChooseSoundCourse(bool resume_valid, int64_t next_sample, int64_t start,
                              int64_t read_forward_limit);
