#include "tools/process_facts.h"

#include <atomic>
#include <filesystem>
#include <set>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <fstream>
#endif

namespace {
std::atomic<int64_t> demuxers_opened{0};
}  // namespace

#ifdef _WIN32

std::optional<double> ResidentMiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return {};
  return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

std::optional<int> OpenHandlesOn(const std::vector<std::string>&) { return {}; }

std::optional<int64_t> DemuxersOpened() { return {}; }

#else

extern "C" {
#include <libavformat/avformat.h>

// zarn-host's own definition, exported, stands in for FFmpeg's in the module
// it loads: every demuxer the module opens is counted, then opened by FFmpeg.
__attribute__((visibility("default"))) int avformat_open_input(AVFormatContext** ps,
                                                               const char* url,
                                                               const AVInputFormat* fmt,
                                                               AVDictionary** options) {
  using Real = int (*)(AVFormatContext**, const char*, const AVInputFormat*, AVDictionary**);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "avformat_open_input"));
  ++demuxers_opened;
  return real(ps, url, fmt, options);
}
}

std::optional<double> ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = 0;
  if (!(statm >> size >> resident)) return {};
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

std::optional<int> OpenHandlesOn(const std::vector<std::string>& paths) {
  std::set<std::filesystem::path> wanted;
  for (const std::string& path : paths) {
    std::error_code error;
    const auto canonical = std::filesystem::canonical(path, error);
    if (!error) wanted.insert(canonical);
  }
  std::error_code error;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code link_error;
    const auto target = std::filesystem::read_symlink(entry.path(), link_error);
    if (!link_error && wanted.count(target) != 0) ++count;
  }
  if (error) return {};
  return count;
}

std::optional<int64_t> DemuxersOpened() { return demuxers_opened.load(); }

#endif
