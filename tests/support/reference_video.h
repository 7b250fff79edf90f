// A plain sequential decode of a clip's first video stream, every picture
// converted to ARGB at a chosen size with point sampling and the colour rule
// the plug-in promises (the picture's own matrix and range; untagged: BT.709
// above 576 lines, BT.601 otherwise). The expected picture for a requested
// time is looked up here, never taken from the plug-in's answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/base/host_api.h"

namespace zarn_test {

struct ReferencePicture {
  int64_t ts;                 // pts, else the best-effort timestamp, else one frame after the last
  std::vector<uint8_t> argb;  // width * 4 bytes per row, top row first
};

struct ReferenceVideo {
  bool ok = false;
  std::string error;
  int width = 0, height = 0;  // the converted size
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
  // Index of the picture shown at `t`: the first with ts >= T - h; -1 past the end.
  int ExpectedIndex(A_Time t) const;
  // The footage time a host asks for picture `i` (its own timestamp less the
  // origin, as value/scale).
  A_Time TimeOf(int i) const;
};

// Colour handling for the conversion: the plug-in's rule, or BT.601 forced
// (to show that a test can tell them apart).
enum class ReferenceColour { kPictureRule, kForceBt601 };

// width/height 0: the picture's own size.
ReferenceVideo DecodeReference(const std::string& path, int width = 0, int height = 0,
                               ReferenceColour colour = ReferenceColour::kPictureRule);

// A black opaque ARGB picture of that size, as the plug-in's black outcome.
std::vector<uint8_t> OpaqueBlack(int width, int height);

}  // namespace zarn_test
