#include "footage/stereo_mix.h"

#include <algorithm>
#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

// swresample's limit on channels.
constexpr int kMaxChannels = 64;

SwrPtr Allocate(AVChannelLayout& source, AVSampleFormat format, int in_rate, int out_rate) {
  AVChannelLayout stereo{};
  av_channel_layout_default(&stereo, 2);
  SwrContext* raw = nullptr;
  const int set = swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_FLT, out_rate, &source, format,
                                      in_rate, 0, nullptr);
  av_channel_layout_uninit(&stereo);
  SwrPtr swr(raw);
  return set < 0 ? nullptr : std::move(swr);
}

// The left and right gains of one channel: where FFmpeg's own stereo mix
// puts a layout of that channel alone, or for a channel of unknown place,
// equal on both sides.
void PlaceChannel(AVChannel channel, double* left, double* right) {
  *left = *right = M_SQRT1_2;
  if (channel < 0 || channel >= 64) return;  // unknown place
  AVChannelLayout alone{};
  AVChannelLayout stereo{};
  av_channel_layout_default(&stereo, 2);
  double gains[2] = {};
  if (av_channel_layout_from_mask(&alone, uint64_t{1} << channel) == 0 &&
      swr_build_matrix2(&alone, &stereo, M_SQRT1_2, M_SQRT1_2, 0.0, 1.0, 1.0, gains, 1,
                        AV_MATRIX_ENCODING_NONE, nullptr) == 0) {
    *left = gains[0];
    *right = gains[1];
  }
  av_channel_layout_uninit(&alone);
  av_channel_layout_uninit(&stereo);
}

// Channel by channel as above, scaled so that full-scale input on every
// channel at once cannot go beyond full scale on either side. Rows: left,
// then right, `channels` gains each.
std::vector<double> StereoMatrix(const AVChannelLayout& layout) {
  const int channels = layout.nb_channels;
  std::vector<double> matrix(static_cast<size_t>(channels) * 2, 0.0);
  double left_sum = 0.0, right_sum = 0.0;
  for (int i = 0; i < channels; ++i) {
    double left = 0.0, right = 0.0;
    PlaceChannel(av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(i)), &left,
                 &right);
    matrix[static_cast<size_t>(i)] = left;
    matrix[static_cast<size_t>(channels + i)] = right;
    left_sum += std::fabs(left);
    right_sum += std::fabs(right);
  }
  const double largest = std::max(left_sum, right_sum);
  if (largest > 1.0) {
    for (double& gain : matrix) gain /= largest;
  }
  return matrix;
}

}  // namespace

bool NormalizeSourceLayout(const AVChannelLayout& in, AVChannelLayout* out) {
  *out = AVChannelLayout{};
  if (in.nb_channels <= 0) return false;
  if (in.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(out, in.nb_channels);
    return true;
  }
  return av_channel_layout_copy(out, &in) == 0;
}

SwrPtr MakeStereoResampler(const AVChannelLayout& layout, AVSampleFormat format, int in_rate,
                           int out_rate) {
  AVChannelLayout source{};
  if (!NormalizeSourceLayout(layout, &source) || in_rate <= 0 || out_rate <= 0) return nullptr;
  SwrPtr swr = Allocate(source, format, in_rate, out_rate);
  if (swr && swr_init(swr.get()) < 0) {
    // FFmpeg has no mix for this layout: one built here, on a fresh context.
    swr =
        source.nb_channels <= kMaxChannels ? Allocate(source, format, in_rate, out_rate) : nullptr;
    const std::vector<double> matrix = swr ? StereoMatrix(source) : std::vector<double>();
    if (swr && (swr_set_matrix(swr.get(), matrix.data(), source.nb_channels) < 0 ||
                swr_init(swr.get()) < 0)) {
      swr.reset();
    }
  }
  av_channel_layout_uninit(&source);
  return swr;
}
