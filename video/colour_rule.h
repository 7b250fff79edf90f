// Which YUV matrix and range a decoded picture is converted with: its own
// signalling, and where it has none the usual guess by picture height
// (BT.709 above 576 lines, BT.601 otherwise). RGB pictures need neither.
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

struct SourceColour {
  bool is_rgb;     // no matrix applies
  int matrix;      // SWS_CS_*
  int full_range;  // 1 for full (JPEG) range, 0 for limited
};

SourceColour SourceColourOf(const AVFrame& frame);
