// zarn-bench video [FILE...] [--requests N] [--seed S]
//
// For each file (default: the 1080p H.264 and HEVC clips in the build tree's
// bench-media/, made by `cmake --build . --target bench_media`), in one run:
//   - playback: every frame in playing order through the module in the
//     stand-in host at 1920x1080, beside a plain FFmpeg loop doing the same
//     work (read, decode, point-scale to ARGB) at the same thread count and
//     a plain single-threaded loop;
//   - random access: N random frame times (fixed seed) through the module,
//     beside a plain seek-and-decode loop on the same times (mean, 95th pct);
//   - the time to import.
// The module writes its trace log as in use: the run takes place in a
// temporary directory holding Plug-ins/zarn_plus/.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <random>
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

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct Stats {
  double mean_ms = 0, p95_ms = 0;
};
Stats Summarise(std::vector<double> ms) {
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
  PlainReader(const std::string& path, int threads) {
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
    stride_ = kWidth * 4;
    argb_.resize(static_cast<size_t>(stride_) * kHeight);
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
  bool SeekTo(int64_t target, int64_t low) {
    avcodec_flush_buffers(dec_);
    av_seek_frame(fmt_, index_, target, AVSEEK_FLAG_BACKWARD);
    return DecodeTo(low);
  }
  // Decodes on to the first picture whose timestamp is at least `low`.
  bool DecodeTo(int64_t low) {
    for (;;) {
      const int ret = avcodec_receive_frame(dec_, frame_);
      if (ret >= 0) {
        const int64_t ts =
            frame_->pts != AV_NOPTS_VALUE ? frame_->pts : frame_->best_effort_timestamp;
        if (ts < low) continue;
        Convert();
        return true;
      }
      if (ret == AVERROR_EOF) return false;
      if (ret != AVERROR(EAGAIN)) continue;
      if (av_read_frame(fmt_, packet_) < 0) {
        avcodec_send_packet(dec_, nullptr);
        continue;
      }
      if (packet_->stream_index == index_) avcodec_send_packet(dec_, packet_);
      av_packet_unref(packet_);
    }
  }

 private:
  void Convert() {
    SwsContext* kept = sws_;
    sws_ = sws_getCachedContext(sws_, frame_->width, frame_->height,
                                static_cast<AVPixelFormat>(frame_->format), kWidth, kHeight,
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
  int stride_ = 0;
  std::vector<uint8_t> argb_;
  bool ok_ = false;
};

// One frame request as the compositing host makes it: straight through the
// registered function block, without the stand-in host's own checks of the
// whole buffer around the call (which would dominate a 1080p frame).
A_Err Draw(standin::Host& host, AEIO_InSpecH spec, A_Time t, standin::World& world) {
  AEIO_DrawSparseFramePB pb{};
  pb.qual = 1;
  pb.rs = AEIO_RationalScale{{1, 1}, {1, 1}};
  pb.tr = t;
  pb.duration = A_Time{0, t.scale};
  AEIO_DrawingFlags flags = 0;
  return host.callbacks().AEIO_DrawSparseFrame(host.BasicData(), spec, &pb, world.get(), &flags);
}

double PlainPlayback(const std::string& path, int threads, int* frames) {
  PlainReader reader(path, threads);
  if (!reader.ok()) return 0;
  const auto start = Clock::now();
  int n = 0;
  while (reader.Next()) ++n;
  *frames = n;
  return n / Seconds(start, Clock::now());
}

// Footage time 0: the earlier start of the first video and the first audio
// stream, in `tb`.
int64_t OriginIn(const AVFormatContext& format, AVRational tb) {
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

// The sound that covers frame i, as the host asks for it while previewing.
A_Err SoundOfFrame(standin::Host& host, AEIO_InSpecH spec, const Times& times, int i,
                   int sound_rate, std::vector<float>& buffer) {
  const auto first_of = [&](int64_t frame) {
    return av_rescale_rnd(frame, int64_t{times.rate.den} * sound_rate, times.rate.num,
                          AV_ROUND_NEAR_INF);
  };
  const int64_t first = first_of(i);
  const auto count = static_cast<A_u_long>(first_of(i + 1) - first);
  buffer.resize(size_t{count} * 2);
  const A_Time start{static_cast<A_long>(first), static_cast<A_u_long>(sound_rate)};
  return host.callbacks().AEIO_GetSound(host.BasicData(), spec, 0, nullptr, &start, nullptr,
                                        static_cast<A_u_long>(first), count, buffer.data());
}

int BenchFile(const std::string& path, const std::string& module_path, int requests,
              uint32_t seed) {
  std::printf("== %s\n", path.c_str());
  Times times{};
  {
    PlainReader probe(path, 0);
    if (!probe.ok()) {
      std::printf("cannot open\n");
      return 1;
    }
    times = Times{probe.stream()->r_frame_rate, probe.stream()->time_base,
                  OriginIn(*probe.format(), probe.stream()->time_base)};
  }

  standin::Host host;
  std::string error;
  auto module = standin::Module::Load(module_path, &error);
  if (!module || host.Register(*module) != A_Err_NONE) {
    std::printf("module: %s\n", error.c_str());
    return 1;
  }
  auto timed_import = [&](double* seconds) {
    A_Err err = 0;
    const auto t0 = Clock::now();
    AEIO_InSpecH spec = host.Import(path, &err);
    *seconds = Seconds(t0, Clock::now());
    return err == A_Err_NONE ? spec : nullptr;
  };

  // Playback.
  int frames = 0;
  const double plain_fps = PlainPlayback(path, 0, &frames);
  int frames1 = 0;
  const double plain1_fps = PlainPlayback(path, 1, &frames1);
  double import_s = 0;
  AEIO_InSpecH spec = timed_import(&import_s);
  if (spec == nullptr) {
    std::printf("import failed\n");
    return 1;
  }
  standin::World world(kWidth, kHeight);
  auto t0 = Clock::now();
  for (int i = 0; i < frames; ++i) Draw(host, spec, times.At(i), world);
  const double module_fps = frames / Seconds(t0, Clock::now());
  host.Dispose(spec);

  // The same with the sound of each frame after it, as the host previews.
  const std::optional<A_FpLong> told_rate = host.TellsFor(spec).sound_rate;
  double sound_fps = 0;
  if (told_rate) {
    spec = timed_import(&import_s);
    std::vector<float> sound;
    t0 = Clock::now();
    for (int i = 0; i < frames; ++i) {
      Draw(host, spec, times.At(i), world);
      SoundOfFrame(host, spec, times, i, static_cast<int>(*told_rate), sound);
    }
    sound_fps = frames / Seconds(t0, Clock::now());
    host.Dispose(spec);
  }
  std::printf("import: %.1f ms\n", import_s * 1000);
  std::fflush(stdout);
  std::printf(
      "playback, %d frames at %dx%d: module %.1f fps, plain loop (auto threads) %.1f fps,"
      " ratio %.3f; plain single-threaded %.1f fps\n",
      frames, kWidth, kHeight, module_fps, plain_fps, module_fps / plain_fps, plain1_fps);
  if (sound_fps > 0) {
    std::printf("playback with each frame's sound: module %.1f fps, ratio %.3f to picture alone\n",
                sound_fps, sound_fps / module_fps);
  }

  // Random access on the same times.
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(0, frames - 1);
  std::vector<int> order(static_cast<size_t>(requests));
  for (int& i : order) i = pick(rng);

  spec = timed_import(&import_s);
  std::vector<double> module_ms;
  for (const int i : order) {
    const auto a = Clock::now();
    Draw(host, spec, times.At(i), world);
    module_ms.push_back(Seconds(a, Clock::now()) * 1000);
  }
  host.Dispose(spec);
  std::vector<double> plain_ms;
  {
    PlainReader reader(path, 0);
    for (const int i : order) {
      const auto a = Clock::now();
      reader.SeekTo(times.Target(i), times.Target(i) - times.Half());
      plain_ms.push_back(Seconds(a, Clock::now()) * 1000);
    }
  }
  const Stats m = Summarise(module_ms), p = Summarise(plain_ms);
  std::printf(
      "random access, %d requests (seed %u): module mean %.1f ms p95 %.1f ms;"
      " plain seek-and-decode mean %.1f ms p95 %.1f ms; mean ratio %.3f\n",
      requests, seed, m.mean_ms, m.p95_ms, p.mean_ms, p.p95_ms, m.mean_ms / p.mean_ms);
  return 0;
}

}  // namespace

int RunDeepBench(int argc, char** argv);  // bench/deep_bench.cpp

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "deep") == 0) return RunDeepBench(argc, argv);
  if (argc < 2 || std::strcmp(argv[1], "video") != 0) {
    std::fprintf(stderr,
                 "usage: zarn-bench video [FILE...] [--requests N] [--seed S]\n"
                 "       zarn-bench deep [FILE]\n");
    return 2;
  }
  std::vector<std::string> files;
  int requests = 200;
  uint32_t seed = 1207;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--requests" && i + 1 < argc) {
      requests = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      files.push_back(std::filesystem::absolute(arg).string());
    }
  }
  if (files.empty()) {
    files = {std::string(ZARN_BENCH_MEDIA_DIR) + "/h264_1080p.mkv",
             std::string(ZARN_BENCH_MEDIA_DIR) + "/hevc_1080p.mkv"};
  }
  // A working directory with the log folder, so trace lines cost what they cost in use.
  const auto previous = std::filesystem::current_path();
  std::string dir = (std::filesystem::temp_directory_path() / "zarn-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 1;
  std::filesystem::create_directories(std::filesystem::path(dir) / "Plug-ins" / "zarn_plus");
  std::filesystem::current_path(dir);
  av_log_set_level(AV_LOG_ERROR);
  int status = 0;
  for (const std::string& file : files) status |= BenchFile(file, ZARN_MODULE_PATH, requests, seed);
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(dir);
  return status;
}
