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

// The largest picture the sampling below converts whole first.
constexpr int64_t kWholePictureLimit = int64_t{256} << 20;

// The picture converted at its own size, then sampled: each destination
// pixel takes the source pixel nearest its centre. For shapes swscale
// refuses to scale (3x65535 to 1x1); the formats here have no subsampled
// planes.
bool ScaleByNearestPixel(const AVFrame& picture, int width, int height, AVPixelFormat format,
                         uint8_t* const planes[4], const int strides[4]) {
  const int source_width = picture.width;
  const int source_height = picture.height;
  int steps[4] = {};
  if (av_image_fill_linesizes(steps, format, 1) < 0) return false;
  // Rows padded to whole blocks of 16 pixels, which swscale's writers may fill.
  const int padded_width = FFALIGN(source_width, 16);
  const int bytes = av_image_get_buffer_size(format, padded_width, source_height, kScratchRowAlign);
  if (bytes <= 0 || bytes > kWholePictureLimit - kScratchRowAlign) return false;
  const AvBufferPtr<uint8_t> whole(static_cast<uint8_t*>(av_malloc(bytes + kScratchRowAlign)));
  uint8_t* source[4] = {};
  int source_strides[4] = {};
  if (!whole || av_image_fill_arrays(source, source_strides, whole.get(), format, padded_width,
                                     source_height, kScratchRowAlign) < 0) {
    return false;
  }
  const SwsPtr same(sws_getContext(source_width, source_height,
                                   static_cast<AVPixelFormat>(picture.format), source_width,
                                   source_height, format, SWS_POINT, nullptr, nullptr, nullptr));
  if (!same) return false;
  ApplyColour(same.get(), picture);
  if (sws_scale(same.get(), picture.data, picture.linesize, 0, source_height, source,
                source_strides) != source_height) {
    return false;
  }
  for (int p = 0; p < 4 && steps[p] > 0 && planes[p] != nullptr; ++p) {
    const auto step = static_cast<size_t>(steps[p]);
    for (int y = 0; y < height; ++y) {
      const int64_t sy = (int64_t{2} * y + 1) * source_height / (int64_t{2} * height);
      const uint8_t* from = source[p] + sy * source_strides[p];
      uint8_t* to = planes[p] + int64_t{y} * strides[p];
      for (int x = 0; x < width; ++x) {
        const int64_t sx = (int64_t{2} * x + 1) * source_width / (int64_t{2} * width);
        std::memcpy(to + x * step, from + sx * static_cast<int64_t>(step), step);
      }
    }
  }
  return true;
}

}  // namespace

bool ScalePicture(VideoReader& video, const AVFrame& picture, int width, int height,
                  AVPixelFormat format, uint8_t* const planes[4], const int strides[4]) {
  // sws_getCachedContext frees the context it is given when it makes another.
  video.scaler.reset(sws_getCachedContext(video.scaler.release(), picture.width, picture.height,
                                          static_cast<AVPixelFormat>(picture.format), width, height,
                                          format, SWS_POINT, nullptr, nullptr, nullptr));
  if (video.scaler) {
    ApplyColour(video.scaler.get(), picture);
    if (sws_scale(video.scaler.get(), picture.data, picture.linesize, 0, picture.height, planes,
                  strides) == height) {
      return true;
    }
  }
  return ScaleByNearestPixel(picture, width, height, format, planes, strides);
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
