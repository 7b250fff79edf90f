// Levels of 16-bit (deep) worlds. The host's channels run 0..32768
// (PF_MAX_CHAN16), FFmpeg's 16-bit ones 0..65535.
//
// 8-bit pictures are widened as the host widens 8-bit pixels:
// (v * 32768 + 128) / 255.
//
// Deeper pictures are converted by swscale to 16-bit RGBA, whose white is not
// 65535 for every source:
//   - YUV colours at limited range: 255 * 256 = 65280 whatever the depth
//     (its 8-bit coefficients scaled by 256; rounding may go a little above);
//   - YUV colours at full range, and the alpha of YUV sources: a d-bit sample
//     shifted to 16 bits, topping out at (2^d - 1) * 2^(16 - d);
//   - RGB sources: 65535 (d-bit samples are replicated, 16-bit ones copied).
// Each channel value v is taken from its full scale F to the host's, rounded
// to nearest and held at white:
//   min(32768, (v * 32768 + F / 2) / F)
// so white is 32768 and opaque alpha stays opaque. For F = 65535 that is
// (v + 1) / 2; for limited-range YUV, (v * 128 + 127) / 255.
#pragma once

#include <cstdint>

struct AVFrame;

// F, with the multiplier that divides by it exactly: for every numerator
// below 2^31, (n * multiplier) >> 47 == n / F (ceil(2^47 / F), F >= 32768).
struct LevelScale {
  uint32_t full;
  uint64_t multiplier;
};
LevelScale LevelScaleFor(uint32_t full);

inline uint16_t HostLevel(uint32_t v, const LevelScale& scale) {
  const uint64_t level = ((uint64_t{v} * 32768 + scale.full / 2) * scale.multiplier) >> 47;
  return static_cast<uint16_t>(level < 32768 ? level : 32768);
}

struct DeepScales {
  LevelScale colour;
  LevelScale alpha;
};
// The full scales of swscale's 16-bit RGBA for this picture (see above).
DeepScales DeepScalesOf(const AVFrame& picture);

// One row of swscale's native-endian RGBA64 to the host's A, R, G, B.
void HostRowFromRgba64(const uint16_t* rgba, int width, const DeepScales& scales, uint16_t* argb);
// One row of 8-bit ARGB widened to the host's 16-bit ARGB.
void HostRowFromArgb8(const uint8_t* argb, int width, uint16_t* argb16);
