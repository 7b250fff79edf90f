#include "tests/support/reference_video.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "tests/support/timeline.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace zarn_test {
namespace {

struct Closer {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
  void operator()(AVFrame* f) const { av_frame_free(&f); }
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
template <typename T>
using Own = std::unique_ptr<T, Closer>;

// Read as ints: a file may carry a code outside the enum.
template <typename Enum>
int Code(const Enum& c) {
  int v;
  std::memcpy(&v, &c, sizeof v);
  return v;
}

// The colour rule written out again on purpose: the reference must not share
// the module's code, or a wrong matrix would pass on both sides.
int Matrix(const AVFrame& f, ReferenceColour colour) {
  if (colour == ReferenceColour::kForceBt601) return SWS_CS_ITU601;
  switch (Code(f.colorspace)) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
      return SWS_CS_SMPTE240M;
    case AVCOL_SPC_FCC:
      return SWS_CS_FCC;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return SWS_CS_BT2020;
    default:
      return f.height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

bool FullRange(const AVFrame& f) {
  const auto fmt = static_cast<AVPixelFormat>(f.format);
  return Code(f.color_range) == AVCOL_RANGE_JPEG || fmt == AV_PIX_FMT_YUVJ420P ||
         fmt == AV_PIX_FMT_YUVJ422P || fmt == AV_PIX_FMT_YUVJ444P || fmt == AV_PIX_FMT_YUVJ440P ||
         fmt == AV_PIX_FMT_YUVJ411P;
}

int MaxDepth(const AVPixFmtDescriptor& desc) {
  int depth = 0;
  for (int c = 0; c < desc.nb_components; ++c) depth = std::max(depth, desc.comp[c].depth);
  return depth;
}

// A d-bit maximum moved up to 16 bits by a shift, as swscale moves samples
// it does not convert through a matrix.
uint32_t Shifted(int depth) {
  depth = std::min(depth, 16);
  return ((1u << depth) - 1) << (16 - depth);
}

// The deep mapping written out on its own. swscale gives YUV pictures as
// 16-bit G, B, R (A) planes and RGB ones as RGBA64, and puts white at a full
// scale F that depends on the source: 65535 for RGB sources; for YUV colours
// 255 * 256 at limited range (its 8-bit white scaled by 256) and the shifted
// d-bit maximum at full range; for YUV alpha the shifted maximum of the
// alpha's depth. Each channel becomes v * 32768 / F, rounded to nearest, no
// more than 32768.
uint16_t HostLevel(uint32_t v, uint32_t full) {
  return static_cast<uint16_t>(std::min<uint32_t>(32768, (v * 32768 + full / 2) / full));
}

uint16_t At(const std::vector<uint8_t>& plane, size_t i) {
  uint16_t v;
  std::memcpy(&v, plane.data() + i * 2, 2);
  return v;
}

}  // namespace

ReferenceConverter::~ReferenceConverter() { sws_freeContext(sws_); }

bool ReferenceConverter::Scale(const AVFrame& f, int width, int height, ReferenceColour colour,
                               int format, int pixel_bytes,
                               std::vector<std::vector<uint8_t>>* out) {
  sws_ = sws_getCachedContext(sws_, f.width, f.height, static_cast<AVPixelFormat>(f.format), width,
                              height, static_cast<AVPixelFormat>(format), SWS_POINT, nullptr,
                              nullptr, nullptr);
  if (sws_ == nullptr) return false;
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f.format));
  if (!(desc->flags & AV_PIX_FMT_FLAG_RGB)) {
    const int* coeffs = sws_getCoefficients(Matrix(f, colour));
    sws_setColorspaceDetails(sws_, coeffs, FullRange(f) ? 1 : 0, coeffs, 1, 0, 1 << 16, 1 << 16);
  }
  // Each plane in a buffer of its own, rows padded to 64 bytes as any SIMD
  // writer may want; copied out packed.
  const int count = av_pix_fmt_count_planes(static_cast<AVPixelFormat>(format));
  const size_t row = static_cast<size_t>(width) * pixel_bytes;
  const int stride = FFALIGN(static_cast<int>(row), 64);
  std::vector<std::vector<uint8_t>> padded(static_cast<size_t>(count));
  uint8_t* planes[4] = {};
  int strides[4] = {};
  for (int p = 0; p < count; ++p) {
    padded[p].resize(static_cast<size_t>(stride) * height + 64);
    planes[p] = padded[p].data();
    strides[p] = stride;
  }
  if (sws_scale(sws_, f.data, f.linesize, 0, f.height, planes, strides) != height) return false;
  out->assign(static_cast<size_t>(count), std::vector<uint8_t>(row * height));
  for (int p = 0; p < count; ++p) {
    for (int y = 0; y < height; ++y) {
      std::memcpy((*out)[p].data() + y * row, padded[p].data() + static_cast<size_t>(y) * stride,
                  row);
    }
  }
  return true;
}

bool ReferenceConverter::Convert(const AVFrame& f, int width, int height, ReferenceColour colour,
                                 ReferenceDepth depth, std::vector<uint8_t>* out) {
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f.format));
  if (desc == nullptr) return false;
  std::vector<std::vector<uint8_t>> planes;
  if (depth == ReferenceDepth::k8Bit) {
    if (!Scale(f, width, height, colour, AV_PIX_FMT_ARGB, 4, &planes)) return false;
    *out = std::move(planes[0]);
    return true;
  }
  const size_t pixels = static_cast<size_t>(width) * height;
  std::vector<uint16_t> levels(pixels * 4);
  const bool alpha = (desc->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
  if (MaxDepth(*desc) <= 8) {
    // The 8-bit picture, widened as the host widens: (v * 32768 + 128) / 255.
    if (!Scale(f, width, height, colour, AV_PIX_FMT_ARGB, 4, &planes)) return false;
    for (size_t i = 0; i < levels.size(); ++i) {
      levels[i] = static_cast<uint16_t>((planes[0][i] * 32768u + 128) / 255);
    }
  } else if (desc->flags & AV_PIX_FMT_FLAG_RGB) {
    if (!Scale(f, width, height, colour, AV_PIX_FMT_RGBA64, 8, &planes)) return false;
    for (size_t i = 0; i < pixels; ++i) {
      levels[i * 4] = HostLevel(At(planes[0], i * 4 + 3), 65535);
      for (size_t c = 0; c < 3; ++c)
        levels[i * 4 + 1 + c] = HostLevel(At(planes[0], i * 4 + c), 65535);
    }
  } else {
    if (!Scale(f, width, height, colour, alpha ? AV_PIX_FMT_GBRAP16 : AV_PIX_FMT_GBRP16, 2,
               &planes)) {
      return false;
    }
    const uint32_t colour_full = FullRange(f) ? Shifted(desc->comp[0].depth) : 255 * 256;
    const uint32_t alpha_full = alpha ? Shifted(desc->comp[desc->nb_components - 1].depth) : 0;
    for (size_t i = 0; i < pixels; ++i) {
      levels[i * 4] = alpha ? HostLevel(At(planes[3], i), alpha_full) : 32768;
      levels[i * 4 + 1] = HostLevel(At(planes[2], i), colour_full);  // planes G, B, R
      levels[i * 4 + 2] = HostLevel(At(planes[0], i), colour_full);
      levels[i * 4 + 3] = HostLevel(At(planes[1], i), colour_full);
    }
  }
  out->resize(levels.size() * 2);
  std::memcpy(out->data(), levels.data(), out->size());
  return true;
}

int64_t ReferenceVideo::FramePts() const {
  if (rate_num <= 0 || tb_num <= 0) return 0;
  return (int64_t{rate_den} * tb_den) / (int64_t{rate_num} * tb_num);
}

int64_t ReferenceVideo::Target(A_Time t) const {
  return int64_t{t.value} * tb_den / (int64_t{t.scale} * tb_num) + origin;
}

int ReferenceVideo::ExpectedIndex(A_Time t) const {
  const int64_t target = Target(t);
  const int64_t low = target - HalfPts();
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (pictures[i].ts < low) continue;
    // Beyond T + h (and the eighth of a frame that rounded timestamps
    // stray): T lies in a gap, and the picture before is still shown.
    const int64_t slack = std::max<int64_t>(FramePts() / 8, 1);
    if (i > 0 && pictures[i].ts > target + HalfPts() + slack) return static_cast<int>(i) - 1;
    return static_cast<int>(i);
  }
  return -1;
}

A_Time ReferenceVideo::TimeOf(int i) const {
  // ts - origin in seconds is (ts - origin) * tb_num / tb_den: exact as
  // value/scale when scale = tb_den / tb_num is whole, as for every clip here.
  return A_Time{static_cast<A_long>((pictures[i].ts - origin) * tb_num),
                static_cast<A_u_long>(tb_den)};
}

ReferenceVideo DecodeReference(const std::string& path, int width, int height,
                               ReferenceColour colour, ReferenceDepth depth) {
  ReferenceVideo ref;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
    ref.error = "cannot open " + path;
    return ref;
  }
  Own<AVFormatContext> fmt(raw);
  if (avformat_find_stream_info(fmt.get(), nullptr) < 0) {
    ref.error = "no stream info";
    return ref;
  }
  int index = -1;
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVStream* s = fmt->streams[i];
    if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      index = static_cast<int>(i);
      break;
    }
  }
  if (index < 0) {
    ref.error = "no video";
    return ref;
  }
  AVStream* stream = fmt->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  Own<AVCodecContext> dec(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(dec.get(), stream->codecpar);
  dec->pkt_timebase = stream->time_base;
  dec->thread_count = 1;
  if (codec == nullptr || avcodec_open2(dec.get(), codec, nullptr) < 0) {
    ref.error = "no decoder";
    return ref;
  }
  ref.tb_num = stream->time_base.num;
  ref.tb_den = stream->time_base.den;
  ref.rate_num = stream->r_frame_rate.num;
  ref.rate_den = stream->r_frame_rate.den;
  ref.start_time = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  ref.origin = OriginIn(OriginOfFile(*fmt), stream->time_base);
  ref.width = width > 0 ? width : dec->width;
  ref.height = height > 0 ? height : dec->height;
  ref.depth = depth;

  Own<AVPacket> packet(av_packet_alloc());
  Own<AVFrame> frame(av_frame_alloc());
  ReferenceConverter converter;
  auto drain = [&]() -> bool {
    for (;;) {
      const int ret = avcodec_receive_frame(dec.get(), frame.get());
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
      if (ret < 0) continue;
      ReferencePicture pic;
      pic.ts = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
      if (pic.ts == AV_NOPTS_VALUE) {  // no timestamps at all: one frame after another
        pic.ts = ref.pictures.empty() ? ref.start_time : ref.pictures.back().ts + ref.FramePts();
      }
      if (!converter.Convert(*frame, ref.width, ref.height, colour, depth, &pic.argb)) return false;
      ref.pictures.push_back(std::move(pic));
    }
  };
  while (av_read_frame(fmt.get(), packet.get()) >= 0) {
    if (packet->stream_index == index) avcodec_send_packet(dec.get(), packet.get());
    av_packet_unref(packet.get());
    if (!drain()) {
      ref.error = "conversion failed";
      return ref;
    }
  }
  avcodec_send_packet(dec.get(), nullptr);
  if (!drain()) {
    ref.error = "conversion failed";
    return ref;
  }
  ref.ok = !ref.pictures.empty();
  if (!ref.ok) ref.error = "no pictures";
  // Where FFmpeg's rate is only its time base (it found none) and the
  // pictures run far slower, their own rate: the average, else the mean
  // spacing of the first 64 pictures.
  if (int64_t{ref.rate_num} * ref.tb_num == ref.tb_den && ref.rate_den == 1) {
    AVRational rate = stream->avg_frame_rate;
    const size_t n = std::min<size_t>(ref.pictures.size(), 64);
    if ((rate.num <= 0 || rate.den <= 0) && n >= 2) {
      av_reduce(&rate.num, &rate.den, static_cast<int64_t>(n - 1) * ref.tb_den,
                (ref.pictures[n - 1].ts - ref.pictures[0].ts) * ref.tb_num, 1 << 20);
    }
    if (rate.num > 0 && rate.den > 0 && int64_t{rate.num} * 2 < int64_t{ref.rate_num} * rate.den) {
      ref.rate_num = rate.num;
      ref.rate_den = rate.den;
    }
  }
  return ref;
}

std::vector<uint8_t> OpaqueBlack(int width, int height, ReferenceDepth depth) {
  const size_t pixels = static_cast<size_t>(width) * height;
  if (depth == ReferenceDepth::k8Bit) {
    std::vector<uint8_t> black(pixels * 4, 0);
    for (size_t i = 0; i < black.size(); i += 4) black[i] = 255;
    return black;
  }
  std::vector<uint16_t> black(pixels * 4, 0);
  for (size_t i = 0; i < black.size(); i += 4) black[i] = 32768;
  std::vector<uint8_t> bytes(black.size() * 2);
  std::memcpy(bytes.data(), black.data(), bytes.size());
  return bytes;
}

}  // namespace zarn_test
