// Turns a decoded picture into the host's frame buffer: the whole picture
// point-scaled to the buffer's width x height, rows top first, in the
// picture's own colours, as 8-bit ARGB or, for a deep world, 16-bit ARGB
// (video/deep_levels.h). Nothing is written outside the buffer or past
// width * 4 (8 when deep) bytes in a row.
#pragma once

#include "host_abi/host_api.h"
#include "video/picture_converter.h"

struct AVFrame;

// Returns false, having written nothing, when the picture is unusable (no
// planes, zero size, unknown format), the scaler cannot be made or the
// buffer's rows overlap (rowbytes < width * 4, or * 8 when deep); the caller
// then fills black. A buffer of zero width or height is served by writing
// nothing. Keeps the scaler and the scratch in `converter`, whose lock the
// caller holds.
bool ConvertFrameToWorld(PictureConverter& converter, const AVFrame& picture,
                         PF_EffectWorld& world);

// True when the picture has planes, a size and a known pixel format.
bool PictureUsable(const AVFrame& picture);
