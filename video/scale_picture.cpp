#include "video/scale_picture.h"

#include <algorithm>
#include <cstring>

#include "footage/av_owners.h"
#include "video/colour_rule.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
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

// Pictures this large are converted on several threads: swscale splits the
// rows between them, each row converted as on one.
constexpr int64_t kParallelPixels = int64_t{1280} * 720;
constexpr int kMaxConversionThreads = 4;

// The item's scaler for this source and destination, made anew when either
// changed; null when swscale refuses them.
SwsContext* KeptScaler(PictureConverter& converter, const AVFrame& picture, int width, int height,
                       AVPixelFormat format) {
  const PictureConverter::ScalerKey key{picture.width,
                                        picture.height,
                                        picture.format,
                                        width,
                                        height,
                                        format,
                                        ConversionThreads(width, height)};
  if (converter.scaler && converter.scaler_key == key) return converter.scaler.get();
  converter.scaler.reset();
  SwsPtr scaler(sws_alloc_context());
  SwsContext* s = scaler.get();
  if (s == nullptr || av_opt_set_int(s, "srcw", picture.width, 0) < 0 ||
      av_opt_set_int(s, "srch", picture.height, 0) < 0 ||
      av_opt_set_int(s, "src_format", picture.format, 0) < 0 ||
      av_opt_set_int(s, "dstw", width, 0) < 0 || av_opt_set_int(s, "dsth", height, 0) < 0 ||
      av_opt_set_int(s, "dst_format", format, 0) < 0 ||
      av_opt_set_int(s, "sws_flags", SWS_POINT, 0) < 0 ||
      av_opt_set_int(s, "threads", key.threads, 0) < 0 ||
      sws_init_context(s, nullptr, nullptr) < 0) {
    return nullptr;
  }
  converter.scaler = std::move(scaler);
  converter.scaler_key = key;
  return s;
}

void KeepNothing(void*, uint8_t*) {}

// One conversion with the kept scaler: on several threads through swscale's
// frame calls, the destination wrapping the caller's rows (nothing of them
// is owned or freed here).
bool RunScaler(SwsContext* scaler, int threads, const AVFrame& picture, int width, int height,
               AVPixelFormat format, uint8_t* const planes[4], const int strides[4]) {
  if (threads <= 1 || picture.buf[0] == nullptr) {
    return sws_scale(scaler, picture.data, picture.linesize, 0, picture.height, planes, strides) ==
           height;
  }
  const FramePtr out(av_frame_alloc());
  if (!out) return false;
  out->format = format;
  out->width = width;
  out->height = height;
  for (int p = 0; p < 4; ++p) {
    out->data[p] = planes[p];
    out->linesize[p] = strides[p];
  }
  out->buf[0] = av_buffer_create(planes[0], 1, KeepNothing, nullptr, 0);
  if (out->buf[0] == nullptr || sws_frame_start(scaler, out.get(), &picture) < 0) return false;
  const bool done = sws_send_slice(scaler, 0, static_cast<unsigned>(picture.height)) >= 0 &&
                    sws_receive_slice(scaler, 0, static_cast<unsigned>(height)) >= 0;
  sws_frame_end(scaler);
  return done;
}

}  // namespace

int ConversionThreads(int width, int height) {
  if (int64_t{width} * height < kParallelPixels) return 1;
  return std::clamp(av_cpu_count(), 1, kMaxConversionThreads);
}

bool ScalePicture(PictureConverter& converter, const AVFrame& picture, int width, int height,
                  AVPixelFormat format, uint8_t* const planes[4], const int strides[4]) {
  if (SwsContext* scaler = KeptScaler(converter, picture, width, height, format)) {
    ApplyColour(scaler, picture);
    if (RunScaler(scaler, converter.scaler_key.threads, picture, width, height, format, planes,
                  strides)) {
      return true;
    }
  }
  return ScaleByNearestPixel(picture, width, height, format, planes, strides);
}

uint8_t* ScaleToScratch(PictureConverter& converter, const AVFrame& picture, int width, int height,
                        AVPixelFormat format, int pixel_bytes, int* stride) {
  uint8_t* scratch = ScratchRows(converter, int64_t{width} * pixel_bytes, height, stride);
  if (scratch == nullptr) return nullptr;
  uint8_t* const planes[4] = {scratch, nullptr, nullptr, nullptr};
  const int strides[4] = {*stride, 0, 0, 0};
  return ScalePicture(converter, picture, width, height, format, planes, strides) ? scratch
                                                                                  : nullptr;
}

uint8_t* ScratchRows(PictureConverter& converter, int64_t row_bytes, int height, int* stride) {
  const int64_t padded = FFALIGN(row_bytes, int64_t{kScratchRowAlign});
  const int64_t needed = padded * height + kScratchRowAlign;
  if (padded > INT32_MAX || needed > INT32_MAX) return nullptr;
  *stride = static_cast<int>(padded);
  if (!converter.scratch || converter.scratch_size < needed) {
    converter.scratch.reset(static_cast<uint8_t*>(av_malloc(static_cast<size_t>(needed))));
    converter.scratch_size = converter.scratch ? static_cast<int32_t>(needed) : 0;
  }
  return converter.scratch.get();
}
