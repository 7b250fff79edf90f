// zarn-bench video [FILE...] [--requests N] [--seed S] [--items N]
//                  [--only random,playback,many,access]
//
// For each file (default: the 60 s 1080p H.264 and HEVC clips and the 20 s
// 4K HEVC Main 10 clip in the build tree's bench-media/, made by `cmake
// --build . --target bench_media`), in one run, requests at 1920x1080:
//   - random access, first, with the module's cache cold: N random frame
//     times (fixed seed) through the module, beside the floor: a plain loop
//     that seeks to the key frame before each target and decodes to it,
//     skipping the pictures nothing refers to, as the module may;
//   - playback: every frame in playing order through the module in the
//     stand-in host, beside a plain FFmpeg loop doing the same work (read,
//     decode, point-scale to ARGB) at the same thread count, the same loop
//     decoding only (what the machine can decode at all), and a plain
//     single-threaded loop;
//   - many items: N items of the clip (default 24) as layers, each frame of a
//     composition asking every item for its picture, beside one item playing
//     as many frames alone;
//   - the time to import;
//   - reverse playback, scrubbing and frame blending (bench/access_bench.cpp).
// The module writes its trace log as in use: the run takes place in a
// temporary directory holding Plug-ins/zarn_plus/.

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

#include "bench/bench_common.h"
#include "host/standin_host.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

namespace {

using namespace bench;

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

// Random access through the module on a fresh item (its cache cold), and
// the floor on the same times.
void BenchRandomAccess(standin::Host& host, const std::string& path, const Times& times, int frames,
                       int requests, uint32_t seed, standin::World& world) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(0, frames - 1);
  std::vector<int> order(static_cast<size_t>(requests));
  for (int& i : order) i = pick(rng);

  A_Err err = 0;
  AEIO_InSpecH spec = host.Import(path, &err);
  if (spec == nullptr) return;
  std::vector<double> module_ms;
  for (const int i : order) {
    const auto a = Clock::now();
    Draw(host, spec, times.At(i), world);
    module_ms.push_back(Seconds(a, Clock::now()) * 1000);
  }
  host.Dispose(spec);
  std::vector<double> floor_ms, plain_ms;
  {
    PlainReader reader(path, 0);
    for (const int i : order) {
      const auto a = Clock::now();
      reader.SeekTo(times.Target(i), times.Target(i) - times.Half(), /*skip=*/true);
      floor_ms.push_back(Seconds(a, Clock::now()) * 1000);
    }
    for (const int i : order) {
      const auto a = Clock::now();
      reader.SeekTo(times.Target(i), times.Target(i) - times.Half());
      plain_ms.push_back(Seconds(a, Clock::now()) * 1000);
    }
  }
  const Stats m = Summarise(module_ms), f = Summarise(floor_ms), p = Summarise(plain_ms);
  std::printf(
      "random access, cold cache, %d requests (seed %u): module mean %.1f ms p95 %.1f ms;"
      " floor (seek, skip unreferenced) mean %.1f ms p95 %.1f ms; module / floor %.3f;"
      " plain seek-and-decode mean %.1f ms\n",
      requests, seed, m.mean_ms, m.p95_ms, f.mean_ms, f.p95_ms, m.mean_ms / f.mean_ms, p.mean_ms);
  std::fflush(stdout);
}

// `items` items of the clip as layers of a composition, every composition
// frame asking each of them for its picture (each item decodes the same
// frames from the start); beside one item playing as many frames alone.
void BenchManyItems(standin::Host& host, const std::string& path, const Times& times, int frames,
                    int items, standin::World& world) {
  const int span = std::max(1, std::min(50, frames / std::max(1, items)));
  std::vector<AEIO_InSpecH> specs;
  for (int k = 0; k < items; ++k) {
    A_Err err = 0;
    AEIO_InSpecH spec = host.Import(path, &err);
    if (spec == nullptr) break;
    specs.push_back(spec);
  }
  const int count = static_cast<int>(specs.size());
  auto t0 = Clock::now();
  for (int f = 0; f < span; ++f) {
    for (int k = 0; k < count; ++k) {
      Draw(host, specs[static_cast<size_t>(k)], times.At(f), world);
    }
  }
  const double many_fps = span * count / Seconds(t0, Clock::now());
  for (AEIO_InSpecH spec : specs) host.Dispose(spec);
  A_Err err = 0;
  AEIO_InSpecH one = host.Import(path, &err);
  if (one == nullptr) return;
  t0 = Clock::now();
  for (int f = 0; f < span * count; ++f) Draw(host, one, times.At(f % frames), world);
  const double one_fps = span * count / Seconds(t0, Clock::now());
  host.Dispose(one);
  std::printf(
      "many items: %d items in turn, %d frames each: %.1f fps; one item alone %.1f fps;"
      " ratio %.3f\n",
      count, span, many_fps, one_fps, many_fps / one_fps);
  std::fflush(stdout);
}

// Which parts of the run to do (--only); all by default.
struct Parts {
  bool random = true, playback = true, many = true, access = true;
};

int BenchFile(const std::string& path, const std::string& module_path, int requests, uint32_t seed,
              int items, const Parts& parts) {
  std::printf("== %s\n", path.c_str());
  Times times{};
  int frames = 0;
  {
    PlainReader probe(path, 0);
    if (!probe.ok()) {
      std::printf("cannot open\n");
      return 1;
    }
    times = Times{probe.stream()->r_frame_rate, probe.stream()->time_base,
                  OriginIn(*probe.format(), probe.stream()->time_base)};
    const AVStream& stream = *probe.stream();
    frames = static_cast<int>(av_rescale_q(probe.format()->duration, AVRational{1, AV_TIME_BASE},
                                           av_inv_q(stream.r_frame_rate)));
  }

  standin::Host host;
  std::string error;
  auto module = standin::Module::Load(module_path, &error);
  if (!module || host.Register(*module) != A_Err_NONE) {
    std::printf("module: %s\n", error.c_str());
    return 1;
  }
  standin::World world(kWidth, kHeight);
  if (parts.random)
    BenchRandomAccess(host, path, times, std::max(frames - 1, 1), requests, seed, world);

  auto timed_import = [&](double* seconds) {
    A_Err err = 0;
    const auto t0 = Clock::now();
    AEIO_InSpecH spec = host.Import(path, &err);
    *seconds = Seconds(t0, Clock::now());
    return err == A_Err_NONE ? spec : nullptr;
  };

  // Playback: the plain loop, decode only, the module, and the module with
  // each frame's sound take turns, twice, and the better run of each counts,
  // so the machine's drift during the run moves them alike.
  if (!parts.playback) {
    if (parts.many && items > 1) BenchManyItems(host, path, times, frames, items, world);
    if (parts.access) BenchAccessPatterns(path, module_path, times, frames, seed);
    return 0;
  }
  int frames1 = 0;
  const double plain1_fps = PlainPlayback(path, 1, &frames1);
  double plain_fps = 0, decode_fps = 0, module_fps = 0, sound_fps = 0, import_s = 0,
         import_best = 1e30;
  std::vector<float> sound;
  for (int round = 0; round < 2; ++round) {
    plain_fps = std::max(plain_fps, PlainPlayback(path, 0, &frames));
    decode_fps = std::max(decode_fps, PlainPlayback(path, 0, &frames, /*convert=*/false));
    AEIO_InSpecH spec = timed_import(&import_s);
    if (spec == nullptr) {
      std::printf("import failed\n");
      return 1;
    }
    import_best = std::min(import_best, import_s);
    const std::optional<A_FpLong> told_rate = host.TellsFor(spec).sound_rate;
    auto t0 = Clock::now();
    for (int i = 0; i < frames; ++i) Draw(host, spec, times.At(i), world);
    module_fps = std::max(module_fps, frames / Seconds(t0, Clock::now()));
    host.Dispose(spec);
    if (!told_rate) continue;
    spec = timed_import(&import_s);
    t0 = Clock::now();
    for (int i = 0; i < frames; ++i) {
      Draw(host, spec, times.At(i), world);
      SoundOfFrame(host, spec, times, i, static_cast<int>(*told_rate), sound);
    }
    sound_fps = std::max(sound_fps, frames / Seconds(t0, Clock::now()));
    host.Dispose(spec);
  }
  std::printf("import: %.1f ms\n", import_best * 1000);
  std::printf(
      "playback, %d frames at %dx%d: module %.1f fps; plain loop (auto threads) %.1f fps,"
      " module / plain %.3f; decode only %.1f fps, module / decode only %.3f;"
      " plain single-threaded %.1f fps\n",
      frames, kWidth, kHeight, module_fps, plain_fps, module_fps / plain_fps, decode_fps,
      module_fps / decode_fps, plain1_fps);
  if (sound_fps > 0) {
    std::printf("playback with each frame's sound: module %.1f fps, ratio %.3f to picture alone\n",
                sound_fps, sound_fps / module_fps);
  }
  std::fflush(stdout);
  if (parts.many && items > 1) BenchManyItems(host, path, times, frames, items, world);
  if (parts.access) BenchAccessPatterns(path, module_path, times, frames, seed);
  return 0;
}

}  // namespace

int RunDeepBench(int argc, char** argv);    // bench/deep_bench.cpp
int RunImportBench(int argc, char** argv);  // bench/import_bench.cpp

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "deep") == 0) return RunDeepBench(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "import") == 0) return RunImportBench(argc, argv);
  if (argc < 2 || std::strcmp(argv[1], "video") != 0) {
    std::fprintf(stderr,
                 "usage: zarn-bench video [FILE...] [--requests N] [--seed S] [--items N]\n"
                 "                        [--only random,playback,many,access]\n"
                 "       zarn-bench deep [FILE]\n"
                 "       zarn-bench import [INTACT KILLED]\n");
    return 2;
  }
  std::vector<std::string> files;
  int requests = 40;
  int items = 24;
  uint32_t seed = 1207;
  Parts parts;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--requests" && i + 1 < argc) {
      requests = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--items" && i + 1 < argc) {
      items = std::max(0, std::atoi(argv[++i]));
    } else if (arg == "--only" && i + 1 < argc) {
      const std::string only = std::string(",") + argv[++i] + ",";
      const auto has = [&](const char* part) {
        return only.find(std::string(",") + part + ",") != std::string::npos;
      };
      parts = Parts{has("random"), has("playback"), has("many"), has("access")};
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      files.push_back(std::filesystem::absolute(arg).string());
    }
  }
  if (files.empty()) {
    files = {std::string(ZARN_BENCH_MEDIA_DIR) + "/h264_1080p_60s.mkv",
             std::string(ZARN_BENCH_MEDIA_DIR) + "/hevc_1080p_60s.mkv",
             std::string(ZARN_BENCH_MEDIA_DIR) + "/hevc10_4k_20s.mkv"};
  }
  const LogFolder folder;
  if (!folder.ok()) return 1;
  av_log_set_level(AV_LOG_ERROR);
  int status = 0;
  for (const std::string& file : files)
    status |= BenchFile(file, ZARN_MODULE_PATH, requests, seed, items, parts);
  return status;
}
