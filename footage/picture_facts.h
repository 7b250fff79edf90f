// What the host is told about a video stream's pictures besides their size
// and rate, from what FFmpeg knows of the stream: the pixel aspect, the field
// order, and what the pixel format holds (more than 8 bits, alpha).
#pragma once

#include <cstdint>

#include "footage/footage_options.h"

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/rational.h>
}

// The sample aspect ratio as the host's pixel aspect, reduced: 1/1 when it is
// unknown (0/1 or 0/0), negative, or outside 1/4..4, which no footage has.
A_Ratio PixelAspectFrom(AVRational sample_aspect);

// Interlaced orders by the field shown first. FFmpeg's tools and the Matroska
// demuxer write TB for top field first and BT for bottom field first (whatever
// the enum's comments say), so TT and TB are upper first, BB and BT lower.
FootageFields FieldsFrom(AVFieldOrder order);

// Some component has more than 8 bits (false for an unknown format).
bool DeepPixelFormat(int format);
// The format carries an alpha channel (false for an unknown format).
bool AlphaPixelFormat(int format);
