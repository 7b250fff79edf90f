// Footage items share nothing but the trace log, so the host may draw several
// items on their own threads at once. Each thread must still get its own
// item's exact frames and sound, and the host must see nothing amiss.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tests/support/frame_code.h"
#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
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

}  // namespace
