#include "video/deep_levels.h"

#include <algorithm>
#include <array>

#include "video/colour_rule.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace {

constexpr int kRgbBits = 16;        // F = 65535
constexpr int kLimitedYuvBits = 8;  // F = 255 * 256

// A d-bit sample shifted to 16 bits tops out at (2^d - 1) * 2^(16 - d).
int ShiftedBits(int depth) { return std::clamp(depth, kLimitedYuvBits, kRgbBits); }

constexpr std::array<uint16_t, 256> kWidened = [] {
  std::array<uint16_t, 256> table{};
  for (uint32_t v = 0; v < 256; ++v) table[v] = static_cast<uint16_t>((v * 32768 + 128) / 255);
  return table;
}();

#if defined(__SSE2__)
// HostLevel on eight 16-bit values at once, all with the same m. In 16 bits:
// with a = v >> m and b = v & (2^m - 1), floor(v / (2^m - 1)) is
// a + ((b + 1 + a) >> m), which stays below 2^16 for m up to 15 (for m = 16
// it is 0, and (v + 1) / 2 is already exact); the halving is pavgw.
struct VectorScale {
  explicit VectorScale(int m)
      : shift(_mm_cvtsi32_si128(m)), low(_mm_set1_epi16(static_cast<int16_t>((1u << m) - 1))) {}
  __m128i shift;
  __m128i low;
};

__m128i HostLevels(__m128i v, const VectorScale& scale) {
  const __m128i one = _mm_set1_epi16(1);
  const __m128i white = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const __m128i a = _mm_srl_epi16(v, scale.shift);
  const __m128i b = _mm_and_si128(v, scale.low);
  const __m128i whole =
      _mm_add_epi16(a, _mm_srl_epi16(_mm_add_epi16(_mm_add_epi16(b, one), a), scale.shift));
  const __m128i level = _mm_avg_epu16(v, whole);
  return _mm_sub_epi16(level, _mm_subs_epu16(level, white));  // min(level, 32768)
}

__m128i Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store(uint16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
#endif

}  // namespace

DeepScales DeepScalesOf(const AVFrame& picture) {
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.format));
  if (desc == nullptr) return DeepScales{false, false, kRgbBits, kRgbBits};
  const bool alpha = (desc->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
  const SourceColour colour = SourceColourOf(picture);
  if (colour.is_rgb) return DeepScales{false, alpha, kRgbBits, kRgbBits};
  const int yuv = colour.full_range ? ShiftedBits(desc->comp[0].depth) : kLimitedYuvBits;
  const int alpha_m = alpha ? ShiftedBits(desc->comp[desc->nb_components - 1].depth) : yuv;
  return DeepScales{true, alpha, yuv, alpha_m};
}

void HostRowFromRgba64(const uint16_t* rgba, int width, const DeepScales& scales, uint16_t* argb) {
  int x = 0;
#if defined(__SSE2__)
  // Two pixels a step: both scales, alpha lanes taken from the alpha one,
  // then each pixel's four values turned from R G B A to A R G B.
  const VectorScale colour(scales.colour);
  const VectorScale alpha(scales.alpha_m);
  const __m128i alpha_lanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  for (; x + 2 <= width; x += 2) {
    const __m128i v = Load(rgba + x * 4);
    const __m128i levels = _mm_or_si128(_mm_and_si128(alpha_lanes, HostLevels(v, alpha)),
                                        _mm_andnot_si128(alpha_lanes, HostLevels(v, colour)));
    Store(argb + x * 4, _mm_or_si128(_mm_slli_epi64(levels, 16), _mm_srli_epi64(levels, 48)));
  }
#endif
  for (; x < width; ++x) {
    const uint16_t* in = rgba + x * 4;
    uint16_t* out = argb + x * 4;
    out[0] = HostLevel(in[3], scales.alpha_m);
    out[1] = HostLevel(in[0], scales.colour);
    out[2] = HostLevel(in[1], scales.colour);
    out[3] = HostLevel(in[2], scales.colour);
  }
}

void HostRowFromPlanes16(const uint16_t* const planes[4], int width, const DeepScales& scales,
                         uint16_t* argb) {
  const uint16_t* g = planes[0];
  const uint16_t* b = planes[1];
  const uint16_t* r = planes[2];
  const uint16_t* a = planes[3];
  int x = 0;
#if defined(__SSE2__)
  // Eight pixels a step: each plane's levels, then interleaved A R G B.
  const VectorScale colour(scales.colour);
  const VectorScale alpha(scales.alpha_m);
  const __m128i opaque = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  // Written past the cache where the row allows it: the host's frame is
  // larger than any cache, and this spares reading it in first.
  const bool stream = reinterpret_cast<uintptr_t>(argb) % 16 == 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i av = a != nullptr ? HostLevels(Load(a + x), alpha) : opaque;
    const __m128i rv = HostLevels(Load(r + x), colour);
    const __m128i gv = HostLevels(Load(g + x), colour);
    const __m128i bv = HostLevels(Load(b + x), colour);
    const __m128i ar_low = _mm_unpacklo_epi16(av, rv);
    const __m128i ar_high = _mm_unpackhi_epi16(av, rv);
    const __m128i gb_low = _mm_unpacklo_epi16(gv, bv);
    const __m128i gb_high = _mm_unpackhi_epi16(gv, bv);
    uint16_t* out = argb + x * 4;
    if (stream) {
      auto* lines = reinterpret_cast<__m128i*>(out);
      _mm_stream_si128(lines, _mm_unpacklo_epi32(ar_low, gb_low));
      _mm_stream_si128(lines + 1, _mm_unpackhi_epi32(ar_low, gb_low));
      _mm_stream_si128(lines + 2, _mm_unpacklo_epi32(ar_high, gb_high));
      _mm_stream_si128(lines + 3, _mm_unpackhi_epi32(ar_high, gb_high));
    } else {
      Store(out, _mm_unpacklo_epi32(ar_low, gb_low));
      Store(out + 8, _mm_unpackhi_epi32(ar_low, gb_low));
      Store(out + 16, _mm_unpacklo_epi32(ar_high, gb_high));
      Store(out + 24, _mm_unpackhi_epi32(ar_high, gb_high));
    }
  }
  if (stream) _mm_sfence();
#endif
  for (; x < width; ++x) {
    uint16_t* out = argb + x * 4;
    out[0] = a != nullptr ? HostLevel(a[x], scales.alpha_m) : 32768;
    out[1] = HostLevel(r[x], scales.colour);
    out[2] = HostLevel(g[x], scales.colour);
    out[3] = HostLevel(b[x], scales.colour);
  }
}

void HostRowFromArgb8(const uint8_t* argb, int width, uint16_t* argb16) {
  const int count = width * 4;
  int i = 0;
#if defined(__SSE2__)
  // (v * 32768 + 128) / 255 is v * 128 + floor((v + 1) * 128 / 255), and for
  // n = (v + 1) * 128 <= 32768, floor(n / 255) = (n + 1 + (n >> 8)) >> 8:
  // sixteen values a step in 16-bit lanes.
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  const auto widen = [&](__m128i v) {
    const __m128i n = _mm_slli_epi16(_mm_add_epi16(v, one), 7);
    const __m128i whole =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(n, one), _mm_srli_epi16(n, 8)), 8);
    return _mm_add_epi16(_mm_slli_epi16(v, 7), whole);
  };
  const bool stream = reinterpret_cast<uintptr_t>(argb16) % 16 == 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(argb + i));
    const __m128i low = widen(_mm_unpacklo_epi8(bytes, zero));
    const __m128i high = widen(_mm_unpackhi_epi8(bytes, zero));
    if (stream) {
      _mm_stream_si128(reinterpret_cast<__m128i*>(argb16 + i), low);
      _mm_stream_si128(reinterpret_cast<__m128i*>(argb16 + i + 8), high);
    } else {
      Store(argb16 + i, low);
      Store(argb16 + i + 8, high);
    }
  }
  if (stream) _mm_sfence();
#endif
  for (; i < count; ++i) argb16[i] = kWidened[argb[i]];
}
