#include "video/deep_world.h"

#include "footage/picture_facts.h"
#include "video/deep_levels.h"
#include "video/scale_picture.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace {

// 8-bit sources: converted as for an 8-bit world, then widened.
bool Widened(PictureConverter& converter, const AVFrame& picture, PF_EffectWorld& world,
             uint8_t* host) {
  int stride = 0;
  const uint8_t* scratch =
      ScaleToScratch(converter, picture, world.width, world.height, AV_PIX_FMT_ARGB, 4, &stride);
  if (scratch == nullptr) return false;
  for (int y = 0; y < world.height; ++y) {
    HostRowFromArgb8(scratch + int64_t{y} * stride, world.width,
                     reinterpret_cast<uint16_t*>(host + int64_t{y} * world.rowbytes));
  }
  return true;
}

// YUV sources: planar 16-bit G, B, R (A), each plane with a spare row after
// it, so a converter's whole-block writes past a plane's end stay inside.
bool FromPlanes(PictureConverter& converter, const AVFrame& picture, const DeepScales& scales,
                PF_EffectWorld& world, uint8_t* host) {
  const int count = scales.alpha ? 4 : 3;
  const int rows = world.height + 1;
  int stride = 0;
  uint8_t* scratch = ScratchRows(converter, int64_t{world.width} * 2, rows * count, &stride);
  if (scratch == nullptr) return false;
  uint8_t* planes[4] = {};
  int strides[4] = {};
  for (int p = 0; p < count; ++p) {
    planes[p] = scratch + int64_t{p} * rows * stride;
    strides[p] = stride;
  }
  if (!ScalePicture(converter, picture, world.width, world.height,
                    scales.alpha ? AV_PIX_FMT_GBRAP16 : AV_PIX_FMT_GBRP16, planes, strides)) {
    return false;
  }
  for (int y = 0; y < world.height; ++y) {
    const uint16_t* row[4] = {};
    for (int p = 0; p < count; ++p) {
      row[p] = reinterpret_cast<const uint16_t*>(planes[p] + int64_t{y} * stride);
    }
    HostRowFromPlanes16(row, world.width, scales,
                        reinterpret_cast<uint16_t*>(host + int64_t{y} * world.rowbytes));
  }
  return true;
}

// RGB sources: packed RGBA64.
bool FromPacked(PictureConverter& converter, const AVFrame& picture, const DeepScales& scales,
                PF_EffectWorld& world, uint8_t* host) {
  int stride = 0;
  const uint8_t* scratch =
      ScaleToScratch(converter, picture, world.width, world.height, AV_PIX_FMT_RGBA64, 8, &stride);
  if (scratch == nullptr) return false;
  for (int y = 0; y < world.height; ++y) {
    HostRowFromRgba64(reinterpret_cast<const uint16_t*>(scratch + int64_t{y} * stride), world.width,
                      scales, reinterpret_cast<uint16_t*>(host + int64_t{y} * world.rowbytes));
  }
  return true;
}

}  // namespace

bool ConvertToDeepWorld(PictureConverter& converter, const AVFrame& picture,
                        PF_EffectWorld& world) {
  auto* host = reinterpret_cast<uint8_t*>(world.data);
  if (reinterpret_cast<uintptr_t>(host) % alignof(uint16_t) != 0 || world.rowbytes % 2 != 0) {
    return false;
  }
  if (!DeepPixelFormat(picture.format)) return Widened(converter, picture, world, host);
  const DeepScales scales = DeepScalesOf(picture);
  return scales.planar ? FromPlanes(converter, picture, scales, world, host)
                       : FromPacked(converter, picture, scales, world, host);
}
