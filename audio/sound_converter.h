// Turns decoded frames of any layout and sample format into the host's sound
// format: interleaved 32-bit float stereo at the footage's rate.
#pragma once

#include <cstdint>
#include <vector>

#include "footage/av_owners.h"
#include "footage/stereo_mix.h"

// The resampler to the host's sound format, kept while the source's format,
// layout and rate stay.
struct ResamplerState {
  ResamplerState() = default;
  ResamplerState(const ResamplerState&) = delete;
  ResamplerState& operator=(const ResamplerState&) = delete;
  ~ResamplerState() { av_channel_layout_uninit(&in_layout); }

  SwrPtr swr;
  bool prepared = false;  // in_* describe the source the resampler was made for
  bool usable = false;    // and it accepted that source
  AVChannelLayout in_layout{};
  int in_format = -1;
  int in_rate = 0;
  std::vector<float> output;  // interleaved L R, reused from frame to frame
};

// Converts with the resampler an item keeps from request to request.
class SoundConverter {
 public:
  SoundConverter(ResamplerState& state, int32_t out_rate) : state_(state), out_rate_(out_rate) {}
  SoundConverter(const SoundConverter&) = delete;
  SoundConverter& operator=(const SoundConverter&) = delete;

  // Converts one frame and returns the sample frames now in samples().
  // A frame the resampler cannot take (no channels, an unknown layout or
  // format) comes out as silence of the same length, so everything after it
  // stays in place. Throws std::bad_alloc only.
  int64_t Convert(const AVFrame& frame);
  const float* samples() const { return state_.output.data(); }

  // Converts one frame straight into `out`, which has room for `capacity`
  // sample frames, when its samples come out there whole (the same rate,
  // and they fit); returns their count, or -1 with nothing written.
  int64_t ConvertInto(const AVFrame& frame, float* out, uint64_t capacity);

 private:
  bool Prepare(const AVFrame& frame);
  int64_t Silence(int64_t count);

  ResamplerState& state_;
  int32_t out_rate_;
};
