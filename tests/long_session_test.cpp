// Memory over a long session: thousands of mixed frame and sound requests on
// several footage items, with items imported and disposed throughout, must
// not make the process grow. Also prints what one footage item costs in
// resident memory (320x240 clips and the 1080p bench clip).
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/temp_cwd.h"

// The sanitizer's allocator: figures mean nothing. ZARN_SANITIZED: this file
// itself is compiled without instrumentation in the sanitizer tree.
#if defined(__SANITIZE_ADDRESS__) || defined(ZARN_SANITIZED)
#define ZARN_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZARN_OWN_ALLOCATOR 1
#endif
#endif

namespace {

using zarn_test::PluginSession;

// FFmpeg's own messages would bury the test output.
[[maybe_unused]] const bool kQuietFfmpeg = [] {
  av_log_set_level(AV_LOG_QUIET);
  return true;
}();

// Resident bytes of the process.
int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// Bytes the C heap has handed out and not taken back: FFmpeg's buffers and
// the host's handles alike.
int64_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

constexpr double kMiB = 1024.0 * 1024.0;

struct Item {
  const char* clip;
  AEIO_InSpecH spec = nullptr;
};

// One random request on one item: a frame at a random time and size (often
// the next frame, as playback asks), or a stretch of sound. Sizes include
// odd ones and ones larger than the picture.
void RandomRequest(PluginSession& s, Item& item, std::mt19937& random, int& next_frame) {
  const int kind = static_cast<int>(random() % 10);
  if (kind < 6) {
    const int frame = kind < 3 ? next_frame++ % 75 : static_cast<int>(random() % 90);
    static const std::pair<A_long, A_long> kSizes[] = {
        {320, 240}, {160, 120}, {641, 479}, {97, 33}};
    const auto [w, h] = kSizes[random() % 4];
    standin::World world(w, h);
    ASSERT_EQ(s.host.DrawFrame(item.spec, A_Time{frame, 25}, world), A_Err_NONE);
  } else {
    const A_u_long samples = 1 + random() % 9600;
    std::vector<float> sound(samples * 2);
    const A_long start = static_cast<A_long>(random() % 350);
    ASSERT_EQ(s.host.GetSound(item.spec, A_Time{start, 100}, 0, samples, sound.data()), A_Err_NONE);
  }
}

void Reimport(PluginSession& s, Item& item) {
  if (item.spec != nullptr) {
    ASSERT_EQ(s.Close(item.spec), A_Err_NONE);
  }
  A_Err err = -1;
  item.spec = s.Import(item.clip, &err);
  ASSERT_EQ(err, A_Err_NONE) << item.clip;
}

// `requests` random requests over the items; every `cycle` requests one item
// is disposed and imported again.
void RunRequests(PluginSession& s, std::vector<Item>& items, std::mt19937& random, int requests,
                 int cycle) {
  int next_frame = 0;
  for (int i = 0; i < requests; ++i) {
    Item& item = items[random() % items.size()];
    RandomRequest(s, item, random, next_frame);
    if (::testing::Test::HasFatalFailure()) return;
    if ((i + 1) % cycle == 0) Reimport(s, items[random() % items.size()]);
  }
}

TEST(LongSession, MemoryStaysFlatOverThousandsOfRequests) {
  zarn_test::TempCwd cwd(false);  // no trace log: its file would grow
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  std::vector<Item> items = {{"h264_aac.mkv"}, {"h264_mp3.flv"},   {"vp9_opus.mkv"},
                             {"mpeg4.mkv"},    {"vorbis_44k.mkv"}, {"hevc.mkv"}};
  for (Item& item : items) Reimport(s, item);
  std::mt19937 random(20261208);
  // Warm-up: decoder pools, scaler caches and the allocator's arenas settle.
  RunRequests(s, items, random, 400, 50);
  ASSERT_FALSE(HasFatalFailure());
  malloc_trim(0);
  const int64_t heap_before = HeapInUse();
  const int64_t resident_before = ResidentBytes();
  RunRequests(s, items, random, 2400, 40);
  ASSERT_FALSE(HasFatalFailure());
  malloc_trim(0);
  const int64_t heap_growth = HeapInUse() - heap_before;
  const int64_t resident_growth = ResidentBytes() - resident_before;
  std::printf("after 2400 requests and 60 re-imports: heap %+.2f MiB, resident %+.2f MiB\n",
              heap_growth / kMiB, resident_growth / kMiB);
  for (Item& item : items) EXPECT_EQ(s.Close(item.spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
#ifndef ZARN_OWN_ALLOCATOR
  // A leak of one packet or frame per request would pass 2400 x 10 KB; a
  // leaked item (decoders, buffers) per re-import several MB.
  EXPECT_LT(heap_growth, 4 * 1024 * 1024);
  EXPECT_LT(resident_growth, 24 * 1024 * 1024);
#endif
}

// Resident memory per footage item: N items imported, a frame drawn in each
// at the picture's own size, divided by N. Printed for the report; the bound
// only catches a gross regression (a frame buffer kept per request).
double ResidentPerItem(const std::string& path, int count, A_long width, A_long height) {
  PluginSession s;
  EXPECT_TRUE(s.ready()) << s.error;
  {
    // One item first, so FFmpeg's one-time tables and thread pools are not
    // counted against the items measured.
    A_Err err = -1;
    AEIO_InSpecH first = s.ImportPath(path, &err);
    EXPECT_EQ(err, A_Err_NONE);
    standin::World world(width, height);
    EXPECT_EQ(s.host.DrawFrame(first, A_Time{1, 1}, world), A_Err_NONE);
    EXPECT_EQ(s.Close(first), A_Err_NONE);
  }
  malloc_trim(0);
  const int64_t before = ResidentBytes();
  std::vector<AEIO_InSpecH> specs;
  for (int i = 0; i < count; ++i) {
    A_Err err = -1;
    specs.push_back(s.ImportPath(path, &err));
    EXPECT_EQ(err, A_Err_NONE);
    standin::World world(width, height);
    EXPECT_EQ(s.host.DrawFrame(specs.back(), A_Time{1, 1}, world), A_Err_NONE);
  }
  const double per_item = static_cast<double>(ResidentBytes() - before) / count;
  for (AEIO_InSpecH spec : specs) EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
  return per_item;
}

TEST(LongSession, ResidentMemoryPerFootageItem) {
  zarn_test::TempCwd cwd(false);
  struct Case {
    std::string path;
    int count;
    A_long width, height;
    double bound_mib;
  };
  const std::string bench_clip = (std::filesystem::path(zarn_test::MediaDir()).parent_path() /
                                  "bench-media" / "h264_1080p.mkv")
                                     .string();
  std::vector<Case> cases = {{zarn_test::MediaPath("h264_aac.mkv"), 12, 320, 240, 40},
                             {zarn_test::MediaPath("vp9_opus.mkv"), 12, 320, 240, 40}};
  if (std::filesystem::exists(bench_clip)) {
    cases.push_back({bench_clip, 4, 1920, 1080, 250});
  } else {
    std::printf("no %s (build the bench_media target): 1080p not measured\n", bench_clip.c_str());
  }
  for (const Case& c : cases) {
    const double per_item = ResidentPerItem(c.path, c.count, c.width, c.height);
    std::printf("resident per footage item, %s (%dx%d, %ld cores): %.1f MiB\n",
                std::filesystem::path(c.path).filename().c_str(), c.width, c.height,
                sysconf(_SC_NPROCESSORS_ONLN), per_item / kMiB);
#ifndef ZARN_OWN_ALLOCATOR
    EXPECT_LT(per_item / kMiB, c.bound_mib) << c.path;
#endif
  }
}

}  // namespace
