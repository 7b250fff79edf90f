// zarn-bench import: what importing a recording whose recorder was killed
// (no duration, no index: its length is read from the file's tail) costs
// against the same recording intact, in time and in bytes read.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench/bench_common.h"

namespace {

// Bytes this process has read through the kernel so far (Linux).
int64_t BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  int64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

struct ImportCost {
  double best_ms = 0;
  double median_ms = 0;
  int64_t bytes = 0;  // read by the last import
  A_Time duration{0, 1};
};

ImportCost MeasureImport(standin::Host& host, const std::string& path, int rounds) {
  ImportCost cost;
  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    const int64_t before = BytesRead();
    const auto start = bench::Clock::now();
    A_Err err = -1;
    AEIO_InSpecH spec = host.Import(path, &err);
    ms.push_back(bench::Seconds(start, bench::Clock::now()) * 1000);
    cost.bytes = BytesRead() - before;
    if (err != A_Err_NONE || spec == nullptr) return ImportCost{};
    if (const auto& told = host.TellsFor(spec); told.duration) cost.duration = *told.duration;
    host.Dispose(spec);
  }
  std::sort(ms.begin(), ms.end());
  cost.best_ms = ms.front();
  cost.median_ms = ms[ms.size() / 2];
  return cost;
}

}  // namespace

int RunImportBench(int argc, char** argv) {
  const std::string dir = ZARN_BENCH_MEDIA_DIR;
  const std::string intact = argc > 3 ? argv[2] : dir + "/recording_1g.mkv";
  const std::string killed = argc > 3 ? argv[3] : dir + "/recording_1g_killed.mkv";
  const bench::LogFolder folder;
  if (!folder.ok()) return 1;
  av_log_set_level(AV_LOG_ERROR);
  standin::Host host;
  std::string error;
  auto module = standin::Module::Load(ZARN_MODULE_PATH, &error);
  if (!module || host.Register(*module) != A_Err_NONE) {
    std::printf("module: %s\n", error.c_str());
    return 1;
  }
  host.KeepCallLog(false);
  constexpr int kRounds = 9;
  // Alternating, so that both see the same page cache and machine.
  ImportCost a, b;
  for (int pass = 0; pass < 2; ++pass) {
    a = MeasureImport(host, intact, kRounds);
    b = MeasureImport(host, killed, kRounds);
  }
  if (a.best_ms <= 0 || b.best_ms <= 0) {
    std::printf("cannot import %s or %s\n", intact.c_str(), killed.c_str());
    return 1;
  }
  const auto mib = [](int64_t bytes) { return static_cast<double>(bytes) / (1 << 20); };
  std::printf(
      "import, best (median) of %d: intact %.1f ms (%.1f), %.2f MiB read, told %d/%u s;"
      " killed %.1f ms (%.1f), %.2f MiB read, told %d/%u s; the killed one costs %+.1f ms\n",
      kRounds, a.best_ms, a.median_ms, mib(a.bytes), a.duration.value, a.duration.scale, b.best_ms,
      b.median_ms, mib(b.bytes), b.duration.value, b.duration.scale, b.median_ms - a.median_ms);
  return 0;
}
