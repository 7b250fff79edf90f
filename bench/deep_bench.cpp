// zarn-bench deep [FILE]
//
// Playback into deep (16-bit) worlds: every frame of FILE (default: the
// 4K 10-bit HEVC clip in the build tree's bench-media/) in playing order
// through the module in the stand-in host at 1920x1080, beside plain FFmpeg
// loops in the same run: read, decode at the same thread count, point-scale
// to 16-bit RGB with the picture's colours, as packed RGBA64 (the layout the
// host's deep frames have) and as planar G, B, R (swscale's fastest 16-bit
// RGB, which leaves the interleaving and the host's levels undone). Each is
// run twice, alternating, and the better run counts: the machine may be
// shared. The module's playback into 8-bit worlds is shown beside it.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "host/standin_host.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

int RunDeepBench(int argc, char** argv);

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Decodes every picture and converts it to `format` (GBRP16 or RGBA64);
// returns the pictures per second and their count.
double PlainDeepPlayback(const std::string& path, AVPixelFormat format, int* frames,
                         AVRational* rate) {
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return 0;
  avformat_find_stream_info(fmt, nullptr);
  const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    avformat_close_input(&fmt);
    return 0;
  }
  AVStream* stream = fmt->streams[index];
  *rate = stream->r_frame_rate;
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(dec, stream->codecpar);
  dec->pkt_timebase = stream->time_base;
  dec->thread_count = 0;  // automatic, as the module decodes
  dec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  avcodec_open2(dec, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* sws = nullptr;
  const size_t plane = static_cast<size_t>(kWidth) * 2 * kHeight;
  std::vector<uint8_t> rgb(plane * 4);
  const bool packed = format == AV_PIX_FMT_RGBA64;
  uint8_t* planes[4] = {rgb.data(), rgb.data() + plane, rgb.data() + 2 * plane, nullptr};
  int strides[4] = {packed ? kWidth * 8 : kWidth * 2, kWidth * 2, kWidth * 2, 0};
  int n = 0;
  const auto start = Clock::now();
  const auto convert = [&] {
    SwsContext* kept = sws;
    sws = sws_getCachedContext(sws, frame->width, frame->height,
                               static_cast<AVPixelFormat>(frame->format), kWidth, kHeight, format,
                               SWS_POINT, nullptr, nullptr, nullptr);
    if (sws != kept) {
      const int* coeffs = sws_getCoefficients(
          frame->colorspace == AVCOL_SPC_BT709 ||
                  (frame->colorspace == AVCOL_SPC_UNSPECIFIED && frame->height > 576)
              ? SWS_CS_ITU709
              : SWS_CS_ITU601);
      sws_setColorspaceDetails(sws, coeffs, frame->color_range == AVCOL_RANGE_JPEG, coeffs, 1, 0,
                               1 << 16, 1 << 16);
    }
    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, strides);
    ++n;
  };
  bool draining = false;
  for (;;) {
    const int ret = avcodec_receive_frame(dec, frame);
    if (ret >= 0) {
      convert();
      continue;
    }
    if (ret == AVERROR_EOF) break;
    if (ret != AVERROR(EAGAIN) || draining) break;
    if (av_read_frame(fmt, packet) < 0) {
      avcodec_send_packet(dec, nullptr);
      draining = true;
      continue;
    }
    if (packet->stream_index == index) avcodec_send_packet(dec, packet);
    av_packet_unref(packet);
  }
  const double fps = n / Seconds(start, Clock::now());
  sws_freeContext(sws);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&dec);
  avformat_close_input(&fmt);
  *frames = n;
  return fps;
}

// Every frame through the module's function block, as the host asks while
// playing, without the stand-in host's own checks of the whole buffer.
double ModulePlayback(standin::Host& host, const std::string& path, int frames, AVRational rate,
                      standin::Depth depth) {
  A_Err err = 0;
  AEIO_InSpecH spec = host.Import(path, &err);
  if (err != A_Err_NONE) return 0;
  standin::World world(kWidth, kHeight, 0, depth);
  AEIO_DrawSparseFramePB pb{};
  pb.qual = 1;
  pb.rs = AEIO_RationalScale{{1, 1}, {1, 1}};
  AEIO_DrawingFlags flags = 0;
  const auto start = Clock::now();
  for (int i = 0; i < frames; ++i) {
    pb.tr = A_Time{static_cast<A_long>(int64_t{i} * rate.den), static_cast<A_u_long>(rate.num)};
    pb.duration = A_Time{0, pb.tr.scale};
    host.callbacks().AEIO_DrawSparseFrame(host.BasicData(), spec, &pb, world.get(), &flags);
  }
  const double fps = frames / Seconds(start, Clock::now());
  host.Dispose(spec);
  return fps;
}

}  // namespace

int RunDeepBench(int argc, char** argv) {
  const std::string path = argc > 2 ? std::filesystem::absolute(argv[2]).string()
                                    : std::string(ZARN_BENCH_MEDIA_DIR) + "/hevc10_4k_20s.mkv";
  const bench::LogFolder folder;
  if (!folder.ok()) return 1;
  av_log_set_level(AV_LOG_ERROR);

  int status = 1;
  std::printf("== %s\n", path.c_str());
  standin::Host host;
  std::string error;
  auto module = standin::Module::Load(ZARN_MODULE_PATH, &error);
  if (!module || host.Register(*module) != A_Err_NONE) {
    std::printf("module: %s\n", error.c_str());
  } else {
    host.KeepCallLog(false);
    int frames = 0;
    AVRational rate{0, 1};
    double planar = 0, packed = 0, deep = 0, narrow = 0;
    for (int round = 0; round < 2; ++round) {
      planar = std::max(planar, PlainDeepPlayback(path, AV_PIX_FMT_GBRP16, &frames, &rate));
      if (frames == 0 || rate.num <= 0) break;
      deep = std::max(deep, ModulePlayback(host, path, frames, rate, standin::Depth::k16Bit));
      packed = std::max(packed, PlainDeepPlayback(path, AV_PIX_FMT_RGBA64, &frames, &rate));
      narrow = std::max(narrow, ModulePlayback(host, path, frames, rate, standin::Depth::k8Bit));
    }
    if (deep > 0) {
      std::printf(
          "playback into deep worlds, %d frames at %dx%d: module %.1f fps; plain loop to packed"
          " RGBA64 (auto threads) %.1f fps, ratio %.3f; plain loop to planar 16-bit RGB %.1f fps,"
          " ratio %.3f; module into 8-bit worlds %.1f fps\n",
          frames, kWidth, kHeight, deep, packed, deep / packed, planar, deep / planar, narrow);
      status = 0;
    } else {
      std::printf("cannot play %s\n", path.c_str());
    }
  }
  return status;
}
