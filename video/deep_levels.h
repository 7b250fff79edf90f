// Levels of 16-bit (deep) worlds. The host's channels run 0..32768
// (PF_MAX_CHAN16), FFmpeg's 16-bit ones 0..65535.
//
// 8-bit pictures are widened as the host widens 8-bit pixels:
// (v * 32768 + 128) / 255.
//
// Deeper pictures are converted by swscale: YUV (and grey) ones to planar
// 16-bit G, B, R (and A), its fast path; RGB ones to packed RGBA64, where it
// keeps every bit (replicating shorter samples, copying 16-bit ones). White
// is not 65535 for every source:
//   - YUV colours at limited range: 255 * 256 = 65280 whatever the depth
//     (its 8-bit coefficients scaled by 256; rounding may go a little above);
//   - YUV colours at full range, and the alpha of YUV sources: a d-bit sample
//     shifted to 16 bits, topping out at (2^d - 1) * 2^(16 - d);
//   - RGB sources: 65535.
// Each channel value v is taken from its full scale F to the host's, rounded
// to nearest and held at white:
//   min(32768, (v * 32768 + F / 2) / F)
// so white is 32768 and opaque alpha stays opaque. For F = 65535 that is
// (v + 1) / 2.
#pragma once

#include <cstdint>

struct AVFrame;

// Every full scale above has the form F = (2^m - 1) * 2^(16 - m): m = 16 for
// RGB, 8 for limited-range YUV, d for a shifted d-bit sample. Then
// v * 32768 / F = (v + v / (2^m - 1)) / 2, so the level rounded to nearest
// is (v + 1 + floor(v / (2^m - 1))) / 2, where for 16-bit v the floor is
// (v + 1 + (v >> m)) >> m: shifts and adds only (tests check every value).
inline uint16_t HostLevel(uint32_t v, int m) {
  const uint32_t whole = (v + 1 + (v >> m)) >> m;
  const uint32_t level = (v + 1 + whole) >> 1;
  return static_cast<uint16_t>(level < 32768 ? level : 32768);
}

// How swscale gives a deep picture, and the m of each channel's full scale.
struct DeepScales {
  bool planar;  // G, B, R (A) planes; else packed RGBA64
  bool alpha;   // the picture has an alpha channel
  int colour;
  int alpha_m;
};
DeepScales DeepScalesOf(const AVFrame& picture);

// One row of swscale's native-endian RGBA64 to the host's A, R, G, B.
void HostRowFromRgba64(const uint16_t* rgba, int width, const DeepScales& scales, uint16_t* argb);
// One row of swscale's 16-bit G, B, R planes (and A; null: opaque) to the
// host's A, R, G, B.
void HostRowFromPlanes16(const uint16_t* const planes[4], int width, const DeepScales& scales,
                         uint16_t* argb);
// One row of 8-bit ARGB widened to the host's 16-bit ARGB.
void HostRowFromArgb8(const uint8_t* argb, int width, uint16_t* argb16);
