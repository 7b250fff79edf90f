// The access patterns of an editing host, at 960x540, each timed through the
// module with its picture cache, through the module with the cache off
// (ZARN_CACHE_MB=0) and through a plain seek-and-decode loop on the same
// requests, in the same run:
//   - reverse: the last 100 frames, last to first (beside the same frames
//     played forward);
//   - scrub: random frames within 1 s either side of a point that moves
//     forward a frame every other request (fixed seed);
//   - blend: a 30 fps output blending the two source frames around its time,
//     N, N+1, N+1, N+2, ... for a 25 fps source.
#include <cstdio>
#include <cstdlib>
#include <random>

#include "bench/bench_common.h"

namespace bench {
namespace {

constexpr int kPatternWidth = 960, kPatternHeight = 540;

// Milliseconds for the requests through a freshly registered module with the
// given cache setting (empty: the module's default).
double ThroughModule(const std::string& module_path, const std::string& path, const Times& times,
                     const std::vector<int>& frames, const char* cache_mb) {
  if (cache_mb != nullptr) {
    setenv("ZARN_CACHE_MB", cache_mb, 1);
  } else {
    unsetenv("ZARN_CACHE_MB");
  }
  standin::Host host;
  std::string error;
  auto module = standin::Module::Load(module_path, &error);
  if (!module || host.Register(*module) != A_Err_NONE) return -1;
  host.KeepCallLog(false);
  A_Err err = A_Err_NONE;
  AEIO_InSpecH spec = host.Import(path, &err);
  if (spec == nullptr || err != A_Err_NONE) return -1;
  standin::World world(kPatternWidth, kPatternHeight);
  const auto start = Clock::now();
  for (const int i : frames) Draw(host, spec, times.At(i), world);
  const double ms = Seconds(start, Clock::now()) * 1000;
  host.Dispose(spec);
  unsetenv("ZARN_CACHE_MB");
  return ms;
}

double ThroughPlainLoop(const std::string& path, const Times& times,
                        const std::vector<int>& frames) {
  PlainReader reader(path, 0, kPatternWidth, kPatternHeight);
  if (!reader.ok()) return -1;
  const auto start = Clock::now();
  for (const int i : frames) reader.SeekTo(times.Target(i), times.Target(i) - times.Half());
  return Seconds(start, Clock::now()) * 1000;
}

void Report(const char* what, const std::string& module_path, const std::string& path,
            const Times& times, const std::vector<int>& frames) {
  const double cached = ThroughModule(module_path, path, times, frames, nullptr);
  const double uncached = ThroughModule(module_path, path, times, frames, "0");
  const double plain = ThroughPlainLoop(path, times, frames);
  const double n = static_cast<double>(frames.size());
  std::printf(
      "%s, %zu requests at %dx%d: module %.1f ms a frame; cache off %.1f ms (%.2fx);"
      " plain seek-and-decode %.1f ms (%.2fx)\n",
      what, frames.size(), kPatternWidth, kPatternHeight, cached / n, uncached / n,
      cached / uncached, plain / n, cached / plain);
}

}  // namespace

void BenchAccessPatterns(const std::string& path, const std::string& module_path,
                         const Times& times, int frame_count, uint32_t seed) {
  // Reverse: the last 100 frames, forward and backward.
  std::vector<int> forward, reverse;
  for (int i = std::max(0, frame_count - 100); i < frame_count; ++i) forward.push_back(i);
  reverse.assign(forward.rbegin(), forward.rend());
  const double forward_ms = ThroughModule(module_path, path, times, forward, nullptr);
  const double reverse_ms = ThroughModule(module_path, path, times, reverse, nullptr);
  std::printf("reverse playback of %zu frames at %dx%d: %.1f fps, forward %.1f fps, ratio %.2f\n",
              reverse.size(), kPatternWidth, kPatternHeight, 1000 * reverse.size() / reverse_ms,
              1000 * forward.size() / forward_ms, forward_ms / reverse_ms);
  Report("reverse", module_path, path, times, reverse);

  // Scrub: within one second of a moving point.
  const int second = std::max(1, times.rate.num / std::max(1, times.rate.den));
  std::mt19937 rng(seed);
  std::vector<int> scrub;
  for (int n = 0, point = second; n < 200 && point < frame_count; ++n) {
    const int low = std::max(0, point - second), high = std::min(frame_count - 1, point + second);
    scrub.push_back(low + static_cast<int>(rng() % static_cast<uint32_t>(high - low + 1)));
    if (n % 2 == 1) ++point;
  }
  Report("scrub", module_path, path, times, scrub);

  // Blend: a 30 fps output over a 25 fps source (as its own rate suggests).
  std::vector<int> blend;
  for (int k = 0; blend.size() < 200; ++k) {
    const int n = k * 25 / 30;
    if (n + 1 >= frame_count) break;
    blend.push_back(n);
    blend.push_back(n + 1);
  }
  Report("blend", module_path, path, times, blend);
}

}  // namespace bench
