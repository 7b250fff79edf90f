#include "video/deep_levels.h"

#include <algorithm>
#include <array>

#include "video/colour_rule.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace {

constexpr uint32_t kRgbFull = 65535;
constexpr uint32_t kLimitedYuvFull = 255 * 256;

// A d-bit sample shifted to 16 bits, at its top.
constexpr uint32_t ShiftedFull(int depth) {
  const int d = std::clamp(depth, 1, 16);
  return ((1u << d) - 1) << (16 - d);
}

constexpr std::array<uint16_t, 256> kWidened = [] {
  std::array<uint16_t, 256> table{};
  for (uint32_t v = 0; v < 256; ++v) table[v] = static_cast<uint16_t>((v * 32768 + 128) / 255);
  return table;
}();

}  // namespace

LevelScale LevelScaleFor(uint32_t full) {
  return LevelScale{full, ((uint64_t{1} << 47) + full - 1) / full};
}

DeepScales DeepScalesOf(const AVFrame& picture) {
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.format));
  const SourceColour colour = SourceColourOf(picture);
  if (desc == nullptr || colour.is_rgb) {
    const LevelScale rgb = LevelScaleFor(kRgbFull);
    return DeepScales{rgb, rgb};
  }
  const LevelScale yuv =
      LevelScaleFor(colour.full_range ? ShiftedFull(desc->comp[0].depth) : kLimitedYuvFull);
  // Opaque pictures come out at 65535 alpha, which any scale holds at 32768.
  if ((desc->flags & AV_PIX_FMT_FLAG_ALPHA) == 0) return DeepScales{yuv, yuv};
  return DeepScales{yuv, LevelScaleFor(ShiftedFull(desc->comp[desc->nb_components - 1].depth))};
}

void HostRowFromRgba64(const uint16_t* rgba, int width, const DeepScales& scales, uint16_t* argb) {
  for (int x = 0; x < width; ++x, rgba += 4, argb += 4) {
    argb[0] = HostLevel(rgba[3], scales.alpha);
    argb[1] = HostLevel(rgba[0], scales.colour);
    argb[2] = HostLevel(rgba[1], scales.colour);
    argb[3] = HostLevel(rgba[2], scales.colour);
  }
}

void HostRowFromArgb8(const uint8_t* argb, int width, uint16_t* argb16) {
  const int count = width * 4;
  for (int i = 0; i < count; ++i) argb16[i] = kWidened[argb[i]];
}
