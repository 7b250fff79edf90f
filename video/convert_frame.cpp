#include "video/convert_frame.h"

#include <cstring>

#include "video/deep_world.h"
#include "video/scale_picture.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace {

// swscale's packed-RGB writers may fill whole blocks of up to 16 pixels, so
// a destination is written directly only where a row's block end is its
// width; elsewhere the picture goes through the padded scratch.
constexpr int kDirectWidthMultiple = 16;

bool ConvertTo8BitWorld(PictureConverter& converter, const AVFrame& picture,
                        PF_EffectWorld& world) {
  const int width = world.width;
  const int height = world.height;
  auto* host = reinterpret_cast<uint8_t*>(world.data);
  // swscale's threaded copies of RGB sources write past the last row: those
  // go through the scratch too.
  const bool rgb_source = (av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.format))->flags &
                           AV_PIX_FMT_FLAG_RGB) != 0;
  const bool direct = width % kDirectWidthMultiple == 0 && world.rowbytes % 16 == 0 &&
                      reinterpret_cast<uintptr_t>(host) % 16 == 0 &&
                      (!rgb_source || ConversionThreads(width, height) == 1);
  if (direct) {
    uint8_t* const planes[4] = {host, nullptr, nullptr, nullptr};
    const int strides[4] = {world.rowbytes, 0, 0, 0};
    return ScalePicture(converter, picture, width, height, AV_PIX_FMT_ARGB, planes, strides);
  }

  int stride = 0;
  const uint8_t* scratch =
      ScaleToScratch(converter, picture, width, height, AV_PIX_FMT_ARGB, 4, &stride);
  if (scratch == nullptr) return false;
  const size_t row_bytes = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    std::memcpy(host + int64_t{y} * world.rowbytes, scratch + int64_t{y} * stride, row_bytes);
  }
  return true;
}

}  // namespace

bool PictureUsable(const AVFrame& picture) {
  return picture.data[0] != nullptr && picture.width > 0 && picture.height > 0 &&
         av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.format)) != nullptr;
}

bool ConvertFrameToWorld(PictureConverter& converter, const AVFrame& picture,
                         PF_EffectWorld& world) {
  const int width = world.width;
  const int height = world.height;
  if (width <= 0 || height <= 0 || world.data == nullptr) return true;  // nothing to write
  const bool deep = (world.world_flags & PF_WorldFlag_DEEP) != 0;
  const int pixel_bytes = deep ? 8 : 4;
  if (!PictureUsable(picture) || world.rowbytes < int64_t{width} * pixel_bytes) return false;
  return deep ? ConvertToDeepWorld(converter, picture, world)
              : ConvertTo8BitWorld(converter, picture, world);
}
