// The host may call from its render threads: several items at once, and
// several calls on one item. Each call must still get its item's exact frames
// and sound, and the host must see nothing amiss.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tests/support/frame_code.h"
#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/reference_audio.h"
#include "tests/support/reference_video.h"
#include "tests/support/temp_cwd.h"

namespace {

using zarn_test::PluginSession;

// Frames in a jumping order (reuse, read forward and seeks) with the frame
// number read back from each picture (the picture's index in the sequential
// decode); sound in between.
void Work(PluginSession& s, AEIO_InSpecH spec, const zarn_test::ReferenceVideo& ref, int seed,
          std::atomic<int>& wrong, std::atomic<int>& failed) {
  constexpr int kWidth = 160, kHeight = 120;
  for (int i = 0; i < 60; ++i) {
    const int frame = (i * 7 + seed * 13) % 48;  // every clip has 2 s
    standin::World world(kWidth, kHeight);
    if (s.host.DrawFrame(spec, A_Time{frame, 25}, world) != A_Err_NONE) ++failed;
    const auto pixels = world.Pixels();
    if (zarn_test::FrameNumberFromArgb(pixels.data(), kWidth, kHeight, kWidth * 4) !=
        ref.ExpectedIndex(A_Time{frame, 25})) {
      ++wrong;
    }
    if (i % 5 == 0) {
      std::vector<float> sound(2 * 2000, NAN);
      if (s.host.GetSound(spec, A_Time{frame, 25}, 0, 2000, sound.data()) != A_Err_NONE) ++failed;
      for (float v : sound) {
        if (!std::isfinite(v)) {
          ++wrong;
          break;
        }
      }
    }
  }
}

TEST(ReliabilityThreads, ThreeItemsOnThreeThreadsGetTheirOwnFrames) {
  av_log_set_level(AV_LOG_QUIET);
  zarn_test::TempCwd cwd;  // with the trace log: both threads write to it
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  std::vector<AEIO_InSpecH> specs;
  std::vector<zarn_test::ReferenceVideo> refs;
  for (const char* clip : {"h264_aac.mkv", "mpeg4.mkv", "h264_aac.mkv"}) {
    A_Err err = -1;
    specs.push_back(s.Import(clip, &err));
    ASSERT_EQ(err, A_Err_NONE) << clip;
    refs.push_back(zarn_test::DecodeReference(zarn_test::MediaPath(clip), 16, 16));
    ASSERT_TRUE(refs.back().ok) << clip;
  }
  std::atomic<int> wrong{0}, failed{0};
  std::vector<std::thread> threads;
  for (size_t t = 0; t < specs.size(); ++t) {
    threads.emplace_back(
        [&, t] { Work(s, specs[t], refs[t], static_cast<int>(t), wrong, failed); });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(wrong.load(), 0) << "pictures with another frame's number, or unwritten sound";
  for (AEIO_InSpecH spec : specs) EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
  // Whole lines only: a line torn by another thread's write would lack its
  // CR LF ending or hold two labels.
  std::ifstream log(cwd.LogPath(), std::ios::binary);
  std::string line;
  int lines = 0, torn = 0;
  while (std::getline(log, line)) {
    ++lines;
    if (line.empty() || line.back() != '\r') ++torn;
  }
  EXPECT_GT(lines, 0);
  EXPECT_EQ(torn, 0);
}

// Eight threads sending frame and sound requests in random order, and now
// and then closing the item's files, all to one item, then spread over three
// items (two of them the same file): every picture is the sequential
// decode's and every stretch of sound the continuous decode's, whatever the
// interleaving.
struct Footage {
  const char* clip;
  double sound_limit;  // largest sample difference: 0 for lossless sound
};

void MixedRequests(PluginSession& s, AEIO_InSpecH spec, const zarn_test::ReferenceVideo& video,
                   const zarn_test::ReferenceAudio& audio, double sound_limit, uint32_t seed,
                   std::atomic<int>& wrong, std::atomic<int>& failed) {
  std::mt19937 rng(seed);
  for (int n = 0; n < 30; ++n) {
    // Now and then the host closes the item's files, whatever the other
    // threads are doing (a conversion may still be running).
    if (rng() % 8 == 0 &&
        s.host.callbacks().AEIO_CloseSourceFiles(s.host.BasicData(), spec) != A_Err_NONE) {
      ++failed;
    }
    if (rng() % 2 == 0) {
      // A few frames in playing order, so the item also decodes ahead
      // between the threads' calls.
      const int first = static_cast<int>(rng() % video.pictures.size());
      const int last = std::min(first + 3, static_cast<int>(video.pictures.size()) - 1);
      for (int i = first; i <= last; ++i) {
        const A_Time at = video.TimeOf(i);
        standin::World world(video.width, video.height);
        if (s.host.DrawFrame(spec, at, world) != A_Err_NONE) ++failed;
        const int want = video.ExpectedIndex(at);
        if (!world.GuardsIntact() || want < 0 ||
            world.Pixels() != video.pictures[static_cast<size_t>(want)].argb) {
          ++wrong;
        }
      }
    } else {
      const auto first = static_cast<int64_t>(rng() % static_cast<uint32_t>(audio.frames() / 2));
      const auto count = static_cast<uint32_t>(1 + rng() % 3000);
      std::vector<float> got(size_t{count} * 2);
      const A_Time at{static_cast<A_long>(first), static_cast<A_u_long>(audio.rate)};
      if (s.host.GetSound(spec, at, static_cast<A_u_long>(first), count, got.data()) != A_Err_NONE)
        ++failed;
      if (zarn_test::CompareSamples(got, audio.Expected(first, count)).largest > sound_limit)
        ++wrong;
    }
  }
}

TEST(ReliabilityThreads, EightThreadsOnOneItemAndOnSeveral) {
  av_log_set_level(AV_LOG_QUIET);
  zarn_test::TempCwd cwd;
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  const Footage footage[] = {{"sync_before.mkv", 0.0},
                             {"h264_mp3.flv", std::pow(10.0, -90.0 / 20.0)},
                             {"sync_before.mkv", 0.0}};
  struct Item {
    AEIO_InSpecH spec;
    zarn_test::ReferenceVideo video;
    zarn_test::ReferenceAudio audio;
    double limit;
  };
  std::vector<Item> items;
  for (const Footage& f : footage) {
    A_Err err = -1;
    AEIO_InSpecH spec = s.Import(f.clip, &err);
    ASSERT_EQ(err, A_Err_NONE) << f.clip;
    items.push_back({spec, zarn_test::DecodeReference(zarn_test::MediaPath(f.clip)),
                     zarn_test::DecodeReferenceAudio(zarn_test::MediaPath(f.clip)), f.sound_limit});
    ASSERT_TRUE(items.back().video.ok && items.back().audio.ok) << f.clip;
  }
  for (const bool one_item : {true, false}) {
    SCOPED_TRACE(one_item ? "one item" : "three items");
    std::atomic<int> wrong{0}, failed{0};
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 8; ++t) {
      const Item& item = items[one_item ? 0 : t % items.size()];
      threads.emplace_back([&, t] {
        MixedRequests(s, item.spec, item.video, item.audio, item.limit, 1000 + t, wrong, failed);
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(wrong.load(), 0) << "wrong pictures or sound";
  }
  for (const Item& item : items) EXPECT_EQ(s.Close(item.spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
}

}  // namespace
