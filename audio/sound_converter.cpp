#include "audio/sound_converter.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

bool SoundConverter::Prepare(const AVFrame& frame) {
  ResamplerState& s = state_;
  if (s.prepared && frame.format == s.in_format && frame.sample_rate == s.in_rate &&
      av_channel_layout_compare(&frame.ch_layout, &s.in_layout) == 0)
    return s.usable;
  // Build the replacement first; it becomes current whether or not it works,
  // so a refused format is tried once, not per frame.
  s.prepared = true;
  s.usable = false;
  s.swr.reset();
  av_channel_layout_uninit(&s.in_layout);
  if (av_channel_layout_copy(&s.in_layout, &frame.ch_layout) < 0) s.in_layout = AVChannelLayout{};
  s.in_format = frame.format;
  s.in_rate = frame.sample_rate;

  SwrPtr swr = MakeStereoResampler(frame.ch_layout, static_cast<AVSampleFormat>(frame.format),
                                   frame.sample_rate, out_rate_);
  if (!swr) return false;
  s.swr = std::move(swr);
  s.usable = true;
  return true;
}

int64_t SoundConverter::Silence(int64_t count) {
  count = std::max<int64_t>(count, 0);
  state_.output.assign(static_cast<size_t>(count) * 2, 0.0f);
  return count;
}

int64_t SoundConverter::Convert(const AVFrame& frame) {
  if (frame.nb_samples <= 0) return 0;
  // Silence for a refused frame keeps its length at the output rate.
  const int64_t length =
      frame.sample_rate > 0 && frame.sample_rate != out_rate_
          ? av_rescale_rnd(frame.nb_samples, out_rate_, frame.sample_rate, AV_ROUND_NEAR_INF)
          : frame.nb_samples;
  if (!Prepare(frame)) return Silence(length);

  std::vector<float>& output = state_.output;
  const int capacity = swr_get_out_samples(state_.swr.get(), frame.nb_samples);
  if (capacity < 0) return Silence(length);
  output.resize(static_cast<size_t>(capacity) * 2);
  uint8_t* out_planes[1] = {reinterpret_cast<uint8_t*>(output.data())};
  const int converted =
      swr_convert(state_.swr.get(), out_planes, capacity,
                  const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
  if (converted < 0) return Silence(length);
  output.resize(static_cast<size_t>(converted) * 2);
  return converted;
}

int64_t SoundConverter::ConvertInto(const AVFrame& frame, float* out, uint64_t capacity) {
  // At another rate the resampler may hold samples back from one call to the next.
  if (frame.nb_samples <= 0 || frame.sample_rate != out_rate_ ||
      static_cast<uint64_t>(frame.nb_samples) > capacity)
    return -1;
  const auto length = static_cast<size_t>(frame.nb_samples);
  if (Prepare(frame)) {
    uint8_t* out_planes[1] = {reinterpret_cast<uint8_t*>(out)};
    const int converted =
        swr_convert(state_.swr.get(), out_planes, frame.nb_samples,
                    const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted == frame.nb_samples) return converted;
    if (converted > 0) {  // not expected at one rate: keep the frame's length all the same
      std::fill(out + static_cast<size_t>(converted) * 2, out + length * 2, 0.0f);
      return frame.nb_samples;
    }
  }
  // A frame the resampler cannot take comes out as silence of its length.
  std::fill(out, out + length * 2, 0.0f);
  return frame.nb_samples;
}
