// A picture into a deep (16-bit) world: converted at the source's own
// precision and mapped to the host's levels (video/deep_levels.h).
#pragma once

#include "host_abi/host_api.h"
#include "video/picture_converter.h"

// For ConvertFrameToWorld, which has checked the picture and the world's
// size: the picture goes through the padded scratch (8-bit ARGB for 8-bit
// sources, 16-bit planes for deeper YUV, RGBA64 for deeper RGB), and each
// row is written to the world as width * 8 bytes. False, having written
// nothing, when the world's rows are not 16-bit aligned or the conversion
// fails.
bool ConvertToDeepWorld(PictureConverter& converter, const AVFrame& picture, PF_EffectWorld& world);
