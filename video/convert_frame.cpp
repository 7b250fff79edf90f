#include "video/convert_frame.h"

#include <cstring>

#include "footage/av_owners.h"
#include "video/colour_rule.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace {

// swscale's packed-RGB writers may fill whole blocks of up to 16 pixels, so
// a destination is written directly only where a row's block end is its
// width, and the scratch rows are padded to 64 bytes.
constexpr int kDirectWidthMultiple = 16;
constexpr int kScratchRowAlign = 64;

void ApplyColour(SwsContext* scaler, const AVFrame& picture) {
  const SourceColour colour = SourceColourOf(picture);
  if (colour.is_rgb) return;  // RGB pictures are copied as they are
  const int* wanted = sws_getCoefficients(colour.matrix);
  int* inv_table = nullptr;
  int* table = nullptr;
  int src_range = 0, dst_range = 0, brightness = 0, contrast = 0, saturation = 0;
  if (sws_getColorspaceDetails(scaler, &inv_table, &src_range, &table, &dst_range, &brightness,
                               &contrast, &saturation) >= 0 &&
      inv_table != nullptr && std::memcmp(inv_table, wanted, 4 * sizeof(int)) == 0 &&
      src_range == colour.full_range && dst_range == 1 && brightness == 0 && contrast == 1 << 16 &&
      saturation == 1 << 16) {
    return;  // the kept scaler already converts this way
  }
  (void)sws_setColorspaceDetails(scaler, wanted, colour.full_range, wanted, 1, 0, 1 << 16, 1 << 16);
}

// The scratch row stride for a destination width, and makes sure the
// scratch holds `height` such rows. Null when it cannot.
uint8_t* Scratch(VideoReader& video, int width, int height, int* stride) {
  *stride = FFALIGN(width * 4, kScratchRowAlign);
  const int64_t needed = int64_t{*stride} * height + kScratchRowAlign;
  if (needed > INT32_MAX) return nullptr;
  if (!video.scratch || video.scratch_size < needed) {
    video.scratch.reset(static_cast<uint8_t*>(av_malloc(static_cast<size_t>(needed))));
    video.scratch_size = video.scratch ? static_cast<int32_t>(needed) : 0;
  }
  return video.scratch.get();
}

}  // namespace

bool PictureUsable(const AVFrame& picture) {
  return picture.data[0] != nullptr && picture.width > 0 && picture.height > 0 &&
         av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.format)) != nullptr;
}

bool ConvertFrameToWorld(VideoReader& video, const AVFrame& picture, PF_EffectWorld& world) {
  const int width = world.width;
  const int height = world.height;
  if (width <= 0 || height <= 0 || world.data == nullptr) return true;  // nothing to write
  if (!PictureUsable(picture) || world.rowbytes < int64_t{width} * 4) return false;

  // sws_getCachedContext frees the context it is given when it makes another.
  video.scaler.reset(sws_getCachedContext(video.scaler.release(), picture.width, picture.height,
                                          static_cast<AVPixelFormat>(picture.format), width, height,
                                          AV_PIX_FMT_ARGB, SWS_POINT, nullptr, nullptr, nullptr));
  if (!video.scaler) return false;
  SwsContext* scaler = video.scaler.get();
  ApplyColour(scaler, picture);

  auto* host = reinterpret_cast<uint8_t*>(world.data);
  const bool direct = width % kDirectWidthMultiple == 0 && world.rowbytes % 16 == 0 &&
                      reinterpret_cast<uintptr_t>(host) % 16 == 0;
  if (direct) {
    uint8_t* planes[4] = {host, nullptr, nullptr, nullptr};
    int strides[4] = {world.rowbytes, 0, 0, 0};
    return sws_scale(scaler, picture.data, picture.linesize, 0, picture.height, planes, strides) ==
           height;
  }

  int stride = 0;
  uint8_t* scratch = Scratch(video, width, height, &stride);
  if (scratch == nullptr) return false;
  uint8_t* planes[4] = {scratch, nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  if (sws_scale(scaler, picture.data, picture.linesize, 0, picture.height, planes, strides) !=
      height) {
    return false;
  }
  const size_t row_bytes = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    std::memcpy(host + int64_t{y} * world.rowbytes, scratch + int64_t{y} * stride, row_bytes);
  }
  return true;
}
