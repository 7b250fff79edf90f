#include "video/deep_world.h"

#include "footage/picture_facts.h"
#include "video/deep_levels.h"
#include "video/scale_picture.h"

extern "C" {
#include <libavutil/frame.h>
}

bool ConvertToDeepWorld(VideoReader& video, const AVFrame& picture, PF_EffectWorld& world) {
  const int width = world.width;
  const int height = world.height;
  auto* host = reinterpret_cast<uint8_t*>(world.data);
  if (reinterpret_cast<uintptr_t>(host) % alignof(uint16_t) != 0 || world.rowbytes % 2 != 0) {
    return false;
  }
  // 8-bit sources are converted as for an 8-bit world, then widened.
  const bool deep_source = DeepPixelFormat(picture.format);
  int stride = 0;
  uint8_t* scratch = ScratchRows(video, int64_t{width} * (deep_source ? 8 : 4), height, &stride);
  if (scratch == nullptr ||
      !ScalePicture(video, picture, width, height,
                    deep_source ? AV_PIX_FMT_RGBA64 : AV_PIX_FMT_ARGB, scratch, stride)) {
    return false;
  }
  const DeepScales scales = DeepScalesOf(picture);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = scratch + int64_t{y} * stride;
    auto* out = reinterpret_cast<uint16_t*>(host + int64_t{y} * world.rowbytes);
    if (deep_source) {
      HostRowFromRgba64(reinterpret_cast<const uint16_t*>(in), width, scales, out);
    } else {
      HostRowFromArgb8(in, width, out);
    }
  }
  return true;
}
