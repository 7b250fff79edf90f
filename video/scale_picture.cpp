#include "video/scale_picture.h"

#include <cstring>

#include "footage/av_owners.h"
#include "video/colour_rule.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace {

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

}  // namespace

bool ScalePicture(VideoReader& video, const AVFrame& picture, int width, int height,
                  AVPixelFormat format, uint8_t* const planes[4], const int strides[4]) {
  // sws_getCachedContext frees the context it is given when it makes another.
  video.scaler.reset(sws_getCachedContext(video.scaler.release(), picture.width, picture.height,
                                          static_cast<AVPixelFormat>(picture.format), width, height,
                                          format, SWS_POINT, nullptr, nullptr, nullptr));
  if (!video.scaler) return false;
  ApplyColour(video.scaler.get(), picture);
  return sws_scale(video.scaler.get(), picture.data, picture.linesize, 0, picture.height, planes,
                   strides) == height;
}

uint8_t* ScaleToScratch(VideoReader& video, const AVFrame& picture, int width, int height,
                        AVPixelFormat format, int pixel_bytes, int* stride) {
  uint8_t* scratch = ScratchRows(video, int64_t{width} * pixel_bytes, height, stride);
  if (scratch == nullptr) return nullptr;
  uint8_t* const planes[4] = {scratch, nullptr, nullptr, nullptr};
  const int strides[4] = {*stride, 0, 0, 0};
  return ScalePicture(video, picture, width, height, format, planes, strides) ? scratch : nullptr;
}

uint8_t* ScratchRows(VideoReader& video, int64_t row_bytes, int height, int* stride) {
  const int64_t padded = FFALIGN(row_bytes, int64_t{kScratchRowAlign});
  const int64_t needed = padded * height + kScratchRowAlign;
  if (padded > INT32_MAX || needed > INT32_MAX) return nullptr;
  *stride = static_cast<int>(padded);
  if (!video.scratch || video.scratch_size < needed) {
    video.scratch.reset(static_cast<uint8_t*>(av_malloc(static_cast<size_t>(needed))));
    video.scratch_size = video.scratch ? static_cast<int32_t>(needed) : 0;
  }
  return video.scratch.get();
}
