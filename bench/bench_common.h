// What the video benchmarks share: the clock, summaries, the plain FFmpeg
// reader they measure the module against, frame times, and a frame request
// as the host makes it.
#pragma once

#include <unistd.h>  // mkdtemp

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "host/standin_host.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

namespace bench {

using Clock = std::chrono::steady_clock;
inline constexpr int kWidth = 1920, kHeight = 1080;

inline double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct Stats {
  double mean_ms = 0, p95_ms = 0;
};
inline Stats Summarise(std::vector<double> ms) {
  Stats s;
  if (ms.empty()) return s;
  for (double v : ms) s.mean_ms += v;
  s.mean_ms /= static_cast<double>(ms.size());
  std::sort(ms.begin(), ms.end());
  s.p95_ms = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
  return s;
}

// The plain FFmpeg reader: what the module does, without the host around it.
class PlainReader {
 public:
  // `convert`: false decodes only (what the machine can decode at all).
  PlainReader(const std::string& path, int threads, int width = kWidth, int height = kHeight,
              bool convert = true)
      : width_(width), height_(height), convert_(convert) {
    if (avformat_open_input(&fmt_, path.c_str(), nullptr, nullptr) < 0) return;
    if (avformat_find_stream_info(fmt_, nullptr) < 0) return;
    index_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index_ < 0) return;
    stream_ = fmt_->streams[index_];
    const AVCodec* codec = avcodec_find_decoder(stream_->codecpar->codec_id);
    dec_ = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec_, stream_->codecpar);
    dec_->pkt_timebase = stream_->time_base;
    dec_->thread_count = threads;
    dec_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(dec_, codec, nullptr) < 0) return;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    stride_ = width_ * 4;
    argb_.resize(static_cast<size_t>(stride_) * height_);
    ok_ = true;
  }
  ~PlainReader() {
    sws_freeContext(sws_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&dec_);
    avformat_close_input(&fmt_);
  }
  bool ok() const { return ok_; }
  const AVFormatContext* format() const { return fmt_; }
  AVStream* stream() const { return stream_; }
  int threads() const { return dec_->thread_count; }

  // Next picture in display order, converted; false at the end.
  bool Next() { return DecodeTo(std::numeric_limits<int64_t>::min()); }
  // Seek back to `target` and decode to the first picture at or after `low`.
  // `skip`: the pictures before the window that nothing refers to are not
  // decoded, as the module may skip them (the floor of random access).
  bool SeekTo(int64_t target, int64_t low, bool skip = false) {
    avcodec_flush_buffers(dec_);
    av_seek_frame(fmt_, index_, target, AVSEEK_FLAG_BACKWARD);
    skip_before_ = skip ? low : std::numeric_limits<int64_t>::min();
    dec_->skip_frame = skip ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    const bool found = DecodeTo(low);
    dec_->skip_frame = AVDISCARD_DEFAULT;
    skip_before_ = std::numeric_limits<int64_t>::min();
    return found;
  }
  // Decodes on to the first picture whose timestamp is at least `low`.
  bool DecodeTo(int64_t low) {
    for (;;) {
      const int ret = avcodec_receive_frame(dec_, frame_);
      if (ret >= 0) {
        const int64_t ts =
            frame_->pts != AV_NOPTS_VALUE ? frame_->pts : frame_->best_effort_timestamp;
        if (ts < low) continue;
        if (convert_) Convert();
        return true;
      }
      if (ret == AVERROR_EOF) return false;
      if (ret != AVERROR(EAGAIN)) continue;
      if (av_read_frame(fmt_, packet_) < 0) {
        avcodec_send_packet(dec_, nullptr);
        continue;
      }
      if (packet_->stream_index == index_) {
        if (dec_->skip_frame != AVDISCARD_DEFAULT &&
            (packet_->pts == AV_NOPTS_VALUE || packet_->pts >= skip_before_)) {
          dec_->skip_frame = AVDISCARD_DEFAULT;
        }
        avcodec_send_packet(dec_, packet_);
      }
      av_packet_unref(packet_);
    }
  }

 private:
  void Convert() {
    SwsContext* kept = sws_;
    sws_ = sws_getCachedContext(sws_, frame_->width, frame_->height,
                                static_cast<AVPixelFormat>(frame_->format), width_, height_,
                                AV_PIX_FMT_ARGB, SWS_POINT, nullptr, nullptr, nullptr);
    if (sws_ != kept) SetColours();
    uint8_t* planes[4] = {argb_.data()};
    int strides[4] = {stride_};
    sws_scale(sws_, frame_->data, frame_->linesize, 0, frame_->height, planes, strides);
  }
  // Colours once per scaler, as the module keeps them.
  void SetColours() {
    const int* coeffs = sws_getCoefficients(
        frame_->colorspace == AVCOL_SPC_BT709 ||
                (frame_->colorspace == AVCOL_SPC_UNSPECIFIED && frame_->height > 576)
            ? SWS_CS_ITU709
            : SWS_CS_ITU601);
    sws_setColorspaceDetails(sws_, coeffs, frame_->color_range == AVCOL_RANGE_JPEG, coeffs, 1, 0,
                             1 << 16, 1 << 16);
  }

  AVFormatContext* fmt_ = nullptr;
  AVCodecContext* dec_ = nullptr;
  AVStream* stream_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwsContext* sws_ = nullptr;
  int index_ = -1;
  int width_, height_;
  bool convert_;
  int64_t skip_before_ = std::numeric_limits<int64_t>::min();
  int stride_ = 0;
  std::vector<uint8_t> argb_;
  bool ok_ = false;
};

// A working folder with the trace log's folder in it, for the length of a
// run, so trace lines cost what they cost in use.
class LogFolder {
 public:
  LogFolder() : previous_(std::filesystem::current_path()) {
    std::string dir = (std::filesystem::temp_directory_path() / "zarn-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) return;
    dir_ = dir;
    std::filesystem::create_directories(dir_ / "Plug-ins" / "zarn_plus");
    std::filesystem::current_path(dir_);
  }
  ~LogFolder() {
    if (dir_.empty()) return;
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }
  LogFolder(const LogFolder&) = delete;
  LogFolder& operator=(const LogFolder&) = delete;
  bool ok() const { return !dir_.empty(); }

 private:
  std::filesystem::path previous_, dir_;
};

// One frame request as the compositing host makes it: straight through the
// registered function block, without the stand-in host's own checks of the
// whole buffer around the call (which would dominate a 1080p frame).
inline A_Err Draw(standin::Host& host, AEIO_InSpecH spec, A_Time t, standin::World& world) {
  AEIO_DrawSparseFramePB pb{};
  pb.qual = 1;
  pb.rs = AEIO_RationalScale{{1, 1}, {1, 1}};
  pb.tr = t;
  pb.duration = A_Time{0, t.scale};
  AEIO_DrawingFlags flags = 0;
  return host.callbacks().AEIO_DrawSparseFrame(host.BasicData(), spec, &pb, world.get(), &flags);
}

inline double PlainPlayback(const std::string& path, int threads, int* frames,
                            bool convert = true) {
  PlainReader reader(path, threads, kWidth, kHeight, convert);
  if (!reader.ok()) return 0;
  const auto start = Clock::now();
  int n = 0;
  while (reader.Next()) ++n;
  *frames = n;
  return n / Seconds(start, Clock::now());
}

// Footage time 0: the earlier start of the first video and the first audio
// stream, in `tb`.
inline int64_t OriginIn(const AVFormatContext& format, AVRational tb) {
  bool found = false;
  int64_t origin = 0;
  for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
    for (unsigned i = 0; i < format.nb_streams; ++i) {
      const AVStream& s = *format.streams[i];
      if (s.codecpar->codec_type != type) continue;
      const int64_t start =
          av_rescale_q(s.start_time == AV_NOPTS_VALUE ? 0 : s.start_time, s.time_base, tb);
      origin = found ? std::min(origin, start) : start;
      found = true;
      break;
    }
  }
  return origin;
}

struct Times {
  AVRational rate, tb;
  int64_t start;            // the origin
  A_Time At(int i) const {  // the host's time of frame i
    return A_Time{static_cast<A_long>(int64_t{i} * rate.den), static_cast<A_u_long>(rate.num)};
  }
  int64_t Target(int i) const {
    return av_rescale_q(int64_t{i} * rate.den, AVRational{1, rate.num}, tb) + start;
  }
  int64_t Half() const { return (int64_t{rate.den} * tb.den) / (int64_t{rate.num} * tb.num) / 2; }
};

// Reverse playback, scrubbing and frame blending (bench/access_bench.cpp).
void BenchAccessPatterns(const std::string& path, const std::string& module_path,
                         const Times& times, int frame_count, uint32_t seed);

}  // namespace bench
