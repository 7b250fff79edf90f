// Sound throughput: seconds of sound delivered per second of wall time, for
// a long file in consecutive requests and in requests at scattered places,
// beside a plain FFmpeg decode-and-convert loop over the same file in the
// same run.
//
//   zarn-audio-bench [FILE] [--chunk SECONDS] [--passes N]
//   (FILE defaults to the build tree's bench-media/sound_51_60s.mkv; make it
//   with `cmake --build BUILD --target bench_media`.)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "host/standin_host.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The plain loop: demux, decode, convert every frame to float stereo.
// Returns the sample frames produced, 0 on failure.
int64_t PlainDecode(const std::string& path, int* rate) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) != 0) return 0;
  int64_t produced = 0;
  if (avformat_find_stream_info(format, nullptr) >= 0) {
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const AVCodec* codec =
        index >= 0 ? avcodec_find_decoder(format->streams[index]->codecpar->codec_id) : nullptr;
    AVCodecContext* decoder = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    if (decoder != nullptr &&
        avcodec_parameters_to_context(decoder, format->streams[index]->codecpar) >= 0 &&
        avcodec_open2(decoder, codec, nullptr) >= 0) {
      *rate = decoder->sample_rate;
      AVPacket* packet = av_packet_alloc();
      AVFrame* frame = av_frame_alloc();
      SwrContext* swr = nullptr;
      std::vector<float> out;
      bool input_done = false;
      for (;;) {
        const int received = avcodec_receive_frame(decoder, frame);
        if (received == 0) {
          if (swr == nullptr) {
            AVChannelLayout stereo{};
            av_channel_layout_default(&stereo, 2);
            swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLT, *rate, &frame->ch_layout,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                nullptr);
            swr_init(swr);
          }
          const int capacity = swr_get_out_samples(swr, frame->nb_samples);
          out.resize(static_cast<size_t>(capacity) * 2);
          uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(out.data())};
          const int n =
              swr_convert(swr, planes, capacity, const_cast<const uint8_t**>(frame->extended_data),
                          frame->nb_samples);
          if (n > 0) produced += n;
          continue;
        }
        if (received != AVERROR(EAGAIN) || input_done) break;
        if (av_read_frame(format, packet) < 0) {
          input_done = true;
          avcodec_send_packet(decoder, nullptr);
          continue;
        }
        if (packet->stream_index == index) avcodec_send_packet(decoder, packet);
        av_packet_unref(packet);
      }
      swr_free(&swr);
      av_frame_free(&frame);
      av_packet_free(&packet);
    }
    avcodec_free_context(&decoder);
  }
  avformat_close_input(&format);
  return produced;
}

struct Figures {
  double seconds = 0;        // wall time
  double sound_seconds = 0;  // sound delivered
};

// Requests of `chunk` sample frames at the given starts, through the module.
Figures ThroughModule(standin::Host& host, const std::string& path, int rate,
                      const std::vector<int64_t>& starts, uint32_t chunk) {
  A_Err err = A_Err_NONE;
  AEIO_InSpecH spec = host.Import(path, &err);
  if (spec == nullptr || err != A_Err_NONE) {
    std::fprintf(stderr, "import failed: %d\n", err);
    std::exit(1);
  }
  std::vector<float> buffer(size_t{chunk} * 2);
  const Clock::time_point start = Clock::now();
  for (const int64_t first : starts) {
    const A_Time at{static_cast<A_long>(first), static_cast<A_u_long>(rate)};
    if (host.GetSound(spec, at, static_cast<A_u_long>(first), chunk, buffer.data()) != 0) {
      std::fprintf(stderr, "sound request failed\n");
      std::exit(1);
    }
  }
  Figures figures{Seconds(start), static_cast<double>(starts.size()) * chunk / rate};
  host.Dispose(spec);
  host.DeleteInSpec(spec);
  return figures;
}

void Report(const char* what, const Figures& f, double plain_rate) {
  const double rate = f.sound_seconds / f.seconds;
  std::printf("%-34s %8.1f s of sound per s  (%6.3f s for %5.1f s)  %5.2f x plain\n", what, rate,
              f.seconds, f.sound_seconds, rate / plain_rate);
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = std::string(ZARN_BENCH_MEDIA_DIR) + "/sound_51_60s.mkv";
  double chunk_seconds = 1.0;
  int passes = 7;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--chunk") == 0 && i + 1 < argc) {
      chunk_seconds = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--passes") == 0 && i + 1 < argc) {
      passes = std::max(1, std::atoi(argv[++i]));
    } else if (argv[i][0] != '-') {
      path = argv[i];
    } else {
      std::fprintf(stderr, "usage: %s [FILE] [--chunk SECONDS] [--passes N]\n", argv[0]);
      return 2;
    }
  }

  standin::Host host;
  std::string error;
  std::unique_ptr<standin::Module> module = standin::Module::Load(ZARN_MODULE_PATH, &error);
  if (module == nullptr || host.Register(*module) != A_Err_NONE) {
    std::fprintf(stderr, "module: %s\n", error.c_str());
    return 1;
  }

  // The plain loop and the module take turns, so a machine that speeds up or
  // slows down during the run moves both sides alike.
  int rate = 0;
  double plain_best = 1e30;
  int64_t total = 0;
  Figures in_order, at_random;
  in_order.seconds = at_random.seconds = 1e30;
  for (int pass = 0; pass < passes; ++pass) {
    const Clock::time_point start = Clock::now();
    total = PlainDecode(path, &rate);
    plain_best = std::min(plain_best, Seconds(start));
    if (total <= 0 || rate <= 0) {
      std::fprintf(stderr, "cannot decode %s (make it with the bench_media target)\n",
                   path.c_str());
      return 1;
    }
    const auto chunk = static_cast<uint32_t>(chunk_seconds * rate);
    std::vector<int64_t> consecutive;
    for (int64_t first = 0; first < total; first += chunk) consecutive.push_back(first);
    std::vector<int64_t> scattered = consecutive;
    std::shuffle(scattered.begin(), scattered.end(), std::mt19937(7));  // fixed seed
    const Figures a = ThroughModule(host, path, rate, consecutive, chunk);
    if (a.seconds < in_order.seconds) in_order = a;
    const Figures b = ThroughModule(host, path, rate, scattered, chunk);
    if (b.seconds < at_random.seconds) at_random = b;
  }
  const double plain_rate = static_cast<double>(total) / rate / plain_best;
  const auto chunk = static_cast<uint32_t>(chunk_seconds * rate);

  std::printf("%s: %.1f s of sound at %d Hz, requests of %u sample frames, best of %d\n",
              path.c_str(), static_cast<double>(total) / rate, rate, chunk, passes);
  std::printf("%-34s %8.1f s of sound per s  (%6.3f s for %5.1f s)\n",
              "plain FFmpeg decode+convert", plain_rate, plain_best,
              static_cast<double>(total) / rate);
  Report("module, consecutive requests", in_order, plain_rate);
  Report("module, requests in shuffled order", at_random, plain_rate);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory %ld KiB\n", usage.ru_maxrss);
  return 0;
}
