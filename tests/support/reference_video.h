// A plain sequential decode of a clip's first video stream, every picture
// converted to ARGB at a chosen size with point sampling and the colour rule
// the plug-in promises (the picture's own matrix and range; untagged: BT.709
// above 576 lines, BT.601 otherwise), as 8-bit pixels or as the 16-bit
// pixels of a deep world (0..32768; the mapping is in reference_video.cpp).
// The expected picture for a requested time is looked up here, never taken
// from the plug-in's answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host_abi/host_api.h"

struct AVFrame;
struct SwsContext;

namespace zarn_test {

// 8-bit ARGB bytes, or a deep world's A, R, G, B as native 16-bit values.
enum class ReferenceDepth { k8Bit, k16Bit };

struct ReferencePicture {
  int64_t ts;                 // pts, else the best-effort timestamp, else one frame after the last
  std::vector<uint8_t> argb;  // width * 4 (deep: 8) bytes per row, top row first
};

struct ReferenceVideo {
  bool ok = false;
  std::string error;
  int width = 0, height = 0;  // the converted size
  ReferenceDepth depth = ReferenceDepth::k8Bit;
  int tb_num = 0, tb_den = 1;
  int rate_num = 0, rate_den = 1;
  int64_t start_time = 0;                  // 0 when the stream has none
  int64_t origin = 0;                      // the timeline's origin in this time base
  std::vector<ReferencePicture> pictures;  // in display (output) order

  // One frame and half a frame in time-base units.
  int64_t FramePts() const;
  int64_t HalfPts() const { return FramePts() / 2; }
  // The target timestamp of value/scale seconds of footage time.
  int64_t Target(A_Time t) const;
  // Index of the picture shown at `t`: the first with ts >= T - h, or the one
  // before it when that lies beyond T + h (a gap); -1 past the end.
  int ExpectedIndex(A_Time t) const;
  // The footage time a host asks for picture `i` (its own timestamp less the
  // origin, as value/scale).
  A_Time TimeOf(int i) const;
};

// Colour handling for the conversion: the plug-in's rule, or BT.601 forced
// (to show that a test can tell them apart).
enum class ReferenceColour { kPictureRule, kForceBt601 };

// One picture at a time, converted as above; keeps its scaler between calls.
class ReferenceConverter {
 public:
  ReferenceConverter() = default;
  ReferenceConverter(const ReferenceConverter&) = delete;
  ReferenceConverter& operator=(const ReferenceConverter&) = delete;
  ~ReferenceConverter();
  // False when swscale cannot convert it.
  bool Convert(const AVFrame& picture, int width, int height, ReferenceColour colour,
               ReferenceDepth depth, std::vector<uint8_t>* out);

 private:
  // The picture in `format`, one packed buffer per plane.
  bool Scale(const AVFrame& picture, int width, int height, ReferenceColour colour, int format,
             int pixel_bytes, std::vector<std::vector<uint8_t>>* planes);
  SwsContext* sws_ = nullptr;
};

// width/height 0: the picture's own size.
ReferenceVideo DecodeReference(const std::string& path, int width = 0, int height = 0,
                               ReferenceColour colour = ReferenceColour::kPictureRule,
                               ReferenceDepth depth = ReferenceDepth::k8Bit);

// A black opaque picture of that size, as the plug-in's black outcome.
std::vector<uint8_t> OpaqueBlack(int width, int height,
                                 ReferenceDepth depth = ReferenceDepth::k8Bit);

}  // namespace zarn_test
