// Turns decoded frames of any layout and sample format into the host's sound
// format: interleaved 32-bit float stereo at the footage's rate.
#pragma once

#include <cstdint>
#include <vector>

#include "footage/av_owners.h"

// The layout a source frame is converted from: its own when it names its
// channels, the default for its channel count when it only counts them.
// False (and `out` left empty) when it has no channels at all.
bool NormalizeSourceLayout(const AVChannelLayout& in, AVChannelLayout* out);

class SoundConverter {
 public:
  explicit SoundConverter(int32_t out_rate) : out_rate_(out_rate) {}
  SoundConverter(const SoundConverter&) = delete;
  SoundConverter& operator=(const SoundConverter&) = delete;
  ~SoundConverter();

  // Converts one frame and returns the sample frames now in samples().
  // A frame the resampler cannot take (no channels, an unknown layout or
  // format) comes out as silence of the same length, so everything after it
  // stays in place. Throws std::bad_alloc only.
  int64_t Convert(const AVFrame& frame);
  const float* samples() const { return output_.data(); }

 private:
  bool Prepare(const AVFrame& frame);
  int64_t Silence(int64_t count);

  int32_t out_rate_;
  SwrPtr swr_;
  bool usable_ = false;
  bool prepared_ = false;
  AVChannelLayout in_layout_{};
  int in_format_ = -1;
  int in_rate_ = 0;
  std::vector<float> output_;  // interleaved L R, reused from frame to frame
};
