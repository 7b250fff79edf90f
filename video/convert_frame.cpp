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
uint8_t* Scratch(FootageOptions& record, int width, int height, int* stride) {
  *stride = FFALIGN(width * 4, kScratchRowAlign);
  const int64_t needed = int64_t{*stride} * height + kScratchRowAlign;
  if (needed > INT32_MAX) return nullptr;
  if (record.argb_buffer == nullptr || record.argb_buffer_size < needed) {
    auto* grown = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(needed)));
    if (grown == nullptr) return nullptr;
    av_free(record.argb_buffer);
    record.argb_buffer = grown;
    record.argb_buffer_size = static_cast<int32_t>(needed);
    if (record.argb_frame != nullptr) {  // keep the frame's plane pointing into the buffer
      (void)av_image_fill_arrays(record.argb_frame->data, record.argb_frame->linesize, grown,
                                 AV_PIX_FMT_ARGB, width, height, 1);
    }
  }
  return record.argb_buffer;
}

}  // namespace

bool PictureUsable(const AVFrame& picture) {
  return picture.data[0] != nullptr && picture.width > 0 && picture.height > 0 &&
         av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.format)) != nullptr;
}

bool ConvertFrameToWorld(FootageOptions& record, const AVFrame& picture, PF_EffectWorld& world) {
  const int width = world.width;
  const int height = world.height;
  if (width <= 0 || height <= 0 || world.data == nullptr) return true;  // nothing to write
  if (!PictureUsable(picture) || world.rowbytes < int64_t{width} * 4) return false;

  record.sws_ctx = sws_getCachedContext(record.sws_ctx, picture.width, picture.height,
                                        static_cast<AVPixelFormat>(picture.format), width, height,
                                        AV_PIX_FMT_ARGB, SWS_POINT, nullptr, nullptr, nullptr);
  if (record.sws_ctx == nullptr) return false;
  ApplyColour(record.sws_ctx, picture);

  auto* host = reinterpret_cast<uint8_t*>(world.data);
  const bool direct = width % kDirectWidthMultiple == 0 && world.rowbytes % 16 == 0 &&
                      reinterpret_cast<uintptr_t>(host) % 16 == 0;
  if (direct) {
    uint8_t* planes[4] = {host, nullptr, nullptr, nullptr};
    int strides[4] = {world.rowbytes, 0, 0, 0};
    return sws_scale(record.sws_ctx, picture.data, picture.linesize, 0, picture.height, planes,
                     strides) == height;
  }

  int stride = 0;
  uint8_t* scratch = Scratch(record, width, height, &stride);
  if (scratch == nullptr) return false;
  uint8_t* planes[4] = {scratch, nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  if (sws_scale(record.sws_ctx, picture.data, picture.linesize, 0, picture.height, planes,
                strides) != height) {
    return false;
  }
  const size_t row_bytes = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    std::memcpy(host + int64_t{y} * world.rowbytes, scratch + int64_t{y} * stride, row_bytes);
  }
  return true;
}
