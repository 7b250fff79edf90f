// Frame-exact delivery through the loaded module: every picture the host
// gets is byte-identical to the reference decode's picture for that time
// (the first at or after T - h), whatever the order of requests, and the
// frame buffer is never written outside its pixels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "footage/footage_options.h"
#include "tests/support/env_setting.h"
#include "tests/support/frame_code.h"
#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/probe.h"
#include "tests/support/reference_video.h"
#include "tests/support/seek_counter.h"

extern "C" {
#include <libavutil/rational.h>
}

namespace {

using zarn_test::DecodeReference;
using zarn_test::PluginSession;
using zarn_test::ReferenceDepth;
using zarn_test::ReferenceVideo;

constexpr uint32_t kSeed = 20261207;

// Requests one time and checks the picture against the reference.
::testing::AssertionResult Delivers(PluginSession& s, AEIO_InSpecH spec, const ReferenceVideo& ref,
                                    A_Time t, standin::World& world) {
  world.ResetPattern();
  const A_Err err = s.host.DrawFrame(spec, t, world);
  if (err != A_Err_NONE) return ::testing::AssertionFailure() << "result " << err;
  if (!world.GuardsIntact()) return ::testing::AssertionFailure() << "wrote outside the buffer";
  const int expected = ref.ExpectedIndex(t);
  const std::vector<uint8_t> got = world.Pixels();
  const std::vector<uint8_t>& want = expected >= 0
                                         ? ref.pictures[static_cast<size_t>(expected)].argb
                                         : zarn_test::OpaqueBlack(ref.width, ref.height, ref.depth);
  if (got == want) return ::testing::AssertionSuccess();
  if (ref.depth == ReferenceDepth::k16Bit) {
    return ::testing::AssertionFailure()
           << "time " << t.value << "/" << t.scale << ": not deep picture " << expected;
  }
  return ::testing::AssertionFailure()
         << "time " << t.value << "/" << t.scale << " (T=" << ref.Target(t)
         << "): expected picture " << expected << " (code "
         << (expected >= 0
                 ? zarn_test::FrameNumberFromArgb(want.data(), ref.width, ref.height, ref.width * 4)
                 : -1)
         << "), got code "
         << zarn_test::FrameNumberFromArgb(got.data(), ref.width, ref.height, ref.width * 4);
}

struct Clip {
  const char* name;
};
void PrintTo(const Clip& clip, std::ostream* os) { *os << clip.name; }
// The last two: a deep source and one with alpha in 8-bit worlds.
const Clip kClips[] = {{"h264_aac.mkv"},   {"h264_mp3.flv"},    {"h264_aac.flv"},
                       {"hevc.mkv"},       {"vp9_opus.mkv"},    {"mpeg4.mkv"},
                       {"silent.mkv"},     {"two_streams.mkv"}, {"truncated.mkv"},
                       {"hevc_10bit.mkv"}, {"prores_4444.mkv"}};

std::string ClipName(const ::testing::TestParamInfo<Clip>& info) {
  std::string name = info.param.name;
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  return name;
}

class FrameExact : public ::testing::TestWithParam<Clip> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ready()) << session_.error;
    ref_ = DecodeReference(zarn_test::MediaPath(GetParam().name));
    ASSERT_TRUE(ref_.ok) << ref_.error;
  }
  void Run(const std::vector<A_Time>& times) {
    A_Err err = 0;
    AEIO_InSpecH spec = session_.Import(GetParam().name, &err);
    ASSERT_EQ(err, A_Err_NONE);
    standin::World world(ref_.width, ref_.height);
    for (const A_Time& t : times) {
      ASSERT_TRUE(Delivers(session_, spec, ref_, t, world));
    }
    EXPECT_EQ(session_.Close(spec), A_Err_NONE);
    EXPECT_TRUE(session_.Clean());
  }
  int Count() const { return static_cast<int>(ref_.pictures.size()); }
  // A time between pictures: any instant of the clip or a little past it.
  A_Time AnyTime(std::mt19937& rng) const {
    const int64_t span = (ref_.pictures.back().ts - ref_.origin + 3 * ref_.FramePts()) *
                         ref_.tb_num * 30000 / ref_.tb_den;
    std::uniform_int_distribution<int64_t> pick(0, span);
    return A_Time{static_cast<A_long>(pick(rng)), 30000};
  }

  PluginSession session_;
  ReferenceVideo ref_;
};

TEST_P(FrameExact, PlayingOrderThenPastTheEnd) {
  std::vector<A_Time> times;
  for (int i = 0; i < Count(); ++i) times.push_back(ref_.TimeOf(i));
  const A_Time last = ref_.TimeOf(Count() - 1);
  for (int k = 1; k <= 3; ++k) {  // crossing the end: then black
    times.push_back(
        A_Time{static_cast<A_long>(last.value + k * ref_.FramePts() * ref_.tb_num), last.scale});
  }
  Run(times);
}

TEST_P(FrameExact, RandomOrderRepeatedAndBackwards) {
  std::mt19937 rng(kSeed);
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::vector<A_Time> times;
  std::uniform_int_distribution<int> frame(0, Count() - 1);
  for (int i = 0; i < 12; ++i) times.push_back(ref_.TimeOf(frame(rng)));
  for (int i = 0; i < 12; ++i) times.push_back(AnyTime(rng));
  times.push_back(times.back());  // repeated
  times.push_back(times.back());
  for (int i = Count() - 1; i >= 0; i -= 7) times.push_back(ref_.TimeOf(i));  // backwards
  Run(times);
}

INSTANTIATE_TEST_SUITE_P(Clips, FrameExact, ::testing::ValuesIn(kClips), ClipName);

// ---- the access patterns of an editing host, through the picture cache:
// stepping back, scrubbing around a moving point, blending neighbouring
// frames at another rate. With the cache at its default, off, and at 1 MiB
// (evicting all the time), every picture is the sequential decode's.

struct CacheSetting {
  const char* name;
  const char* megabytes;  // ZARN_CACHE_MB; null: unset
};
// Decoding ahead is on by default and off with the cache: every pattern runs
// with and without it.
const CacheSetting kCacheSettings[] = {{"default", nullptr}, {"off", "0"}, {"tiny", "1"}};
void PrintTo(const CacheSetting& setting, std::ostream* os) { *os << "cache " << setting.name; }

class FramePatterns : public ::testing::TestWithParam<std::tuple<Clip, CacheSetting>> {
 protected:
  void SetUp() override {
    const char* megabytes = std::get<1>(GetParam()).megabytes;
    if (megabytes != nullptr) cache_.emplace("ZARN_CACHE_MB", megabytes);
    session_.emplace();  // registers after the setting
    ASSERT_TRUE(session_->ready()) << session_->error;
    ref_ = DecodeReference(zarn_test::MediaPath(std::get<0>(GetParam()).name));
    ASSERT_TRUE(ref_.ok) << ref_.error;
    A_Err err = 0;
    spec_ = session_->Import(std::get<0>(GetParam()).name, &err);
    ASSERT_EQ(err, A_Err_NONE);
  }
  void TearDown() override {
    if (!session_) return;
    if (spec_ != nullptr) {
      EXPECT_EQ(session_->Close(spec_), A_Err_NONE);
    }
    EXPECT_TRUE(session_->Clean());
  }
  void Run(const char* pattern, const std::vector<int>& pictures) {
    SCOPED_TRACE(pattern);
    standin::World world(ref_.width, ref_.height);
    for (const int i : pictures) {
      ASSERT_TRUE(Delivers(*session_, spec_, ref_, ref_.TimeOf(i), world)) << "picture " << i;
    }
  }
  int Count() const { return static_cast<int>(ref_.pictures.size()); }

  std::optional<zarn_test::EnvSetting> cache_;
  std::optional<PluginSession> session_;
  ReferenceVideo ref_;
  AEIO_InSpecH spec_ = nullptr;
};

TEST_P(FramePatterns, ReverseScrubAndBlendAreSequential) {
  std::vector<int> reverse;  // the last 80 pictures: most of them a long way after a key frame
  for (int i = Count() - 1; i >= std::max(0, Count() - 80); --i) reverse.push_back(i);
  Run("reverse", reverse);

  std::mt19937 rng(kSeed);
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  const int second = 25;
  std::vector<int> scrub;
  for (int n = 0, point = Count() / 3; n < 80; ++n, point += n % 2) {
    const int low = std::max(0, point - second), high = std::min(Count() - 1, point + second);
    scrub.push_back(low + static_cast<int>(rng() % static_cast<uint32_t>(high - low + 1)));
  }
  Run("scrub", scrub);

  std::vector<int> blend;  // 30 fps over the 25 fps pictures: N, N+1, N+1, N+2, ...
  for (int k = 0; k * 25 / 30 + 1 < Count() && blend.size() < 120; ++k) {
    blend.push_back(k * 25 / 30);
    blend.push_back(k * 25 / 30 + 1);
  }
  Run("blend", blend);
}

// Requests on the frame grid (k / fps), as a host at the footage's own rate
// asks: in a variable-rate file some fall in gaps, where the picture before
// the gap is held. Forward, backward and in random order.
TEST_P(FramePatterns, GridTimesHoldThroughGaps) {
  // The rate the host is told is the rate the pictures run at.
  const FootageOptions* record = session_->Record(spec_);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(av_cmp_q(AVRational{record->frame_rate.num, static_cast<int>(record->frame_rate.den)},
                     AVRational{ref_.rate_num, ref_.rate_den}),
            0);
  const int64_t frames = (ref_.pictures.back().ts - ref_.origin) * ref_.tb_num * ref_.rate_num /
                             (int64_t{ref_.tb_den} * ref_.rate_den) +
                         2;
  const auto grid = [&](int64_t k) {
    return A_Time{static_cast<A_long>(k * ref_.rate_den), static_cast<A_u_long>(ref_.rate_num)};
  };
  std::vector<A_Time> times;
  for (int64_t k = 0; k < frames; k += 2) times.push_back(grid(k));
  for (int64_t k = frames - 1; k >= 0; k -= 3) times.push_back(grid(k));
  std::mt19937 rng(kSeed);
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  for (int n = 0; n < 40; ++n) times.push_back(grid(static_cast<int64_t>(rng() % frames)));
  standin::World world(ref_.width, ref_.height);
  for (const A_Time& t : times) ASSERT_TRUE(Delivers(*session_, spec_, ref_, t, world));
}

// Requests in playing order make the item decode ahead on its own, up to
// its depth and only then; a request elsewhere stops it; disposing while it
// works leaves nothing behind (the sanitizer trees check). What was decoded
// ahead is counted against the same requests with decoding ahead off, so it
// does not matter whether the worker ran before or after the last request.
TEST(ReadAhead, DecodesAheadOfPlayingOrderOnly) {
  if (!zarn_test::SeeksCounted()) GTEST_SKIP() << "decoded frames are not counted here";
  const ReferenceVideo ref = DecodeReference(zarn_test::MediaPath("long_gop_h264.mkv"));
  ASSERT_TRUE(ref.ok) << ref.error;
  for (const bool in_order : {true, false}) {
    const std::vector<int> frames =
        in_order ? std::vector<int>{10, 11, 12} : std::vector<int>{10, 60, 120};
    int64_t without = 0;  // decoded with decoding ahead off
    for (const char* depth : {"0", "4"}) {
      SCOPED_TRACE(std::string("depth ") + depth + (in_order ? " in order" : " far apart"));
      const zarn_test::EnvSetting setting("ZARN_READ_AHEAD", depth);
      const bool ahead_on = depth[0] != '0';
      const int64_t least = ahead_on && in_order ? 4 : 0, most = least ? 8 : 0;
      PluginSession session;
      ASSERT_TRUE(session.ready()) << session.error;
      const int64_t before = zarn_test::DecodedCount();
      A_Err err = 0;
      AEIO_InSpecH spec = session.Import("long_gop_h264.mkv", &err);
      ASSERT_EQ(err, A_Err_NONE);
      standin::World world(ref.width, ref.height);
      for (const int i : frames) ASSERT_TRUE(Delivers(session, spec, ref, ref.TimeOf(i), world));
      const auto decoded = [&] { return zarn_test::DecodedCount() - before; };
      if (ahead_on) {
        // The worker has until then; more time shows it stopped at its depth.
        for (int wait = 0; wait < 200 && decoded() - without < least; ++wait)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(least ? 300 : 500));
        EXPECT_GE(decoded() - without, least);
        EXPECT_LE(decoded() - without, most);
      } else {
        without = decoded();
      }
      // What was decoded ahead is what the host is shown next; then a request
      // and a dispose while the worker runs.
      ASSERT_TRUE(Delivers(session, spec, ref, ref.TimeOf(13), world));
      ASSERT_TRUE(Delivers(session, spec, ref, ref.TimeOf(14), world));
      EXPECT_EQ(session.Close(spec), A_Err_NONE);
      EXPECT_TRUE(session.Clean());
    }
  }
}

// Many items playing in turn, in a cache too small to hold ahead for all of
// them and in one large enough: what an item decoded ahead stays until it is
// asked for, or the decoder, already past it, would have to seek back for
// it. Where the cache holds ahead for all, they share the cores: a thread
// each, not a decoder's automatic threads each; the first item, opened alone
// with automatic threads, seeks with the others playing and takes a decoder
// of its share, which answers as the old one would.
TEST(ReadAhead, ManyItemsInTurnNeverSeekBack) {
  if (!zarn_test::SeeksCounted()) GTEST_SKIP() << "seeks are not counted here";
  const ReferenceVideo ref = DecodeReference(zarn_test::MediaPath("long_gop_h264.mkv"));
  ASSERT_TRUE(ref.ok) << ref.error;
  for (const char* megabytes : {"1", "64"}) {
    SCOPED_TRACE(std::string("cache MiB ") + megabytes);
    const zarn_test::EnvSetting cache("ZARN_CACHE_MB", megabytes);
    PluginSession session;
    ASSERT_TRUE(session.ready()) << session.error;
    std::vector<AEIO_InSpecH> specs(12);
    for (AEIO_InSpecH& spec : specs) {
      A_Err err = 0;
      spec = session.Import("long_gop_h264.mkv", &err);
      ASSERT_EQ(err, A_Err_NONE);
    }
    standin::World world(ref.width, ref.height);
    int64_t before = 0;  // after each item's first request, which opens its file
    for (int i = 0; i < 24; ++i) {
      for (AEIO_InSpecH spec : specs) ASSERT_TRUE(Delivers(session, spec, ref, ref.TimeOf(i), world));
      if (i == 0) before = zarn_test::SeekCount();
    }
    EXPECT_EQ(zarn_test::SeekCount() - before, 0);
#ifdef __linux__
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    const auto threads = static_cast<unsigned>(std::distance(begin(tasks), end(tasks)));
    // A worker and a decoder thread each, the first item's automatic
    // threads, a few of the test's.
    if (megabytes[0] != '1') {
      EXPECT_LE(threads, 2 * specs.size() + std::thread::hardware_concurrency() + 6);
    }
#endif
    for (const int i : {150, 60, 180, 61}) ASSERT_TRUE(Delivers(session, specs[0], ref, ref.TimeOf(i), world));
    for (AEIO_InSpecH spec : specs) EXPECT_EQ(session.Close(spec), A_Err_NONE);
    EXPECT_TRUE(session.Clean());
  }
}

// Frame blending asks each frame twice (N, N+1, N+1, N+2, ...): the repeat
// keeps playing order, so what was decoded ahead is still held when it is
// asked for, even in a full cache, and nothing is decoded twice.
TEST(ReadAhead, BlendingNeighboursNeverSeeksBack) {
  if (!zarn_test::SeeksCounted()) GTEST_SKIP() << "seeks are not counted here";
  const zarn_test::EnvSetting cache("ZARN_CACHE_MB", "1");
  const ReferenceVideo ref = DecodeReference(zarn_test::MediaPath("long_gop_h264.mkv"));
  ASSERT_TRUE(ref.ok) << ref.error;
  PluginSession session;
  ASSERT_TRUE(session.ready()) << session.error;
  A_Err err = 0;
  AEIO_InSpecH spec = session.Import("long_gop_h264.mkv", &err);
  ASSERT_EQ(err, A_Err_NONE);
  standin::World world(ref.width, ref.height);
  ASSERT_TRUE(Delivers(session, spec, ref, ref.TimeOf(0), world));  // opens the file
  const int64_t before = zarn_test::SeekCount();
  for (int n = 0; n < 90; ++n) {
    for (const int i : {n, n + 1}) ASSERT_TRUE(Delivers(session, spec, ref, ref.TimeOf(i), world));
    // The host's own work on the frame, while the worker decodes ahead.
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  EXPECT_EQ(zarn_test::SeekCount() - before, 0);
  EXPECT_EQ(session.Close(spec), A_Err_NONE);
  EXPECT_TRUE(session.Clean());
}

// After a seek the cache holds a few pictures before the target for steps
// back; while the host plays backward, a seek decodes as many as the cache
// can give them, so later steps back need no seek.
TEST(SeekStretch, StepsBackFindWhatTheLastSeekDecoded) {
  if (!zarn_test::SeeksCounted()) GTEST_SKIP() << "seeks are not counted here";
  const zarn_test::EnvSetting no_ahead("ZARN_READ_AHEAD", "0");
  const ReferenceVideo ref = DecodeReference(zarn_test::MediaPath("long_gop_h264.mkv"));
  ASSERT_TRUE(ref.ok) << ref.error;
  PluginSession session;
  ASSERT_TRUE(session.ready()) << session.error;
  A_Err err = 0;
  AEIO_InSpecH spec = session.Import("long_gop_h264.mkv", &err);
  ASSERT_EQ(err, A_Err_NONE);
  standin::World world(ref.width, ref.height);
  // Frames down to `last`, checked; the seeks they took.
  const auto back_to = [&](int first, int last) {
    const int64_t before = zarn_test::SeekCount();
    for (int i = first; i >= last; --i)
      EXPECT_TRUE(Delivers(session, spec, ref, ref.TimeOf(i), world));
    return zarn_test::SeekCount() - before;
  };
  EXPECT_GT(back_to(190, 190), 0);
  EXPECT_EQ(back_to(189, 183), 0) << "a few before a random request are kept";
  EXPECT_EQ(back_to(182, 150), 1) << "but no more: random access decodes little";
  EXPECT_EQ(back_to(149, 120), 0) << "playing backward, a seek serves 64 steps";
  EXPECT_EQ(session.Close(spec), A_Err_NONE);
  EXPECT_TRUE(session.Clean());
}

INSTANTIATE_TEST_SUITE_P(Variable, FramePatterns,
                         ::testing::Combine(::testing::Values(Clip{"vfr_drops.mkv"},
                                                              Clip{"vfr_drops.flv"},
                                                              Clip{"slideshow.mkv"}),
                                            ::testing::ValuesIn(kCacheSettings)),
                         [](const ::testing::TestParamInfo<std::tuple<Clip, CacheSetting>>& info) {
                           return ClipName({std::get<0>(info.param), info.index}) + "_cache_" +
                                  std::get<1>(info.param).name;
                         });

INSTANTIATE_TEST_SUITE_P(
    LongGops, FramePatterns,
    ::testing::Combine(::testing::Values(Clip{"long_gop_h264.mkv"}, Clip{"long_gop_hevc.mkv"},
                                         Clip{"long_gop.flv"}, Clip{"h264_mp3.flv"}),
                       ::testing::ValuesIn(kCacheSettings)),
    [](const ::testing::TestParamInfo<std::tuple<Clip, CacheSetting>>& info) {
      return ClipName({std::get<0>(info.param), info.index}) + "_cache_" +
             std::get<1>(info.param).name;
    });

// Around every picture's edges: the first and last tick of each display
// interval, in playing order and in single steps back.
TEST(FrameEdges, EveryIntervalEdgeForwardAndBack) {
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  const ReferenceVideo ref = DecodeReference(zarn_test::MediaPath("h264_mp3.flv"));
  ASSERT_TRUE(ref.ok) << ref.error;
  A_Err err = 0;
  AEIO_InSpecH spec = s.Import("h264_mp3.flv", &err);
  ASSERT_EQ(err, A_Err_NONE);
  standin::World world(ref.width, ref.height);
  const int64_t h = ref.HalfPts();
  auto at = [&](int64_t ts) {  // a time whose target is exactly ts
    return A_Time{static_cast<A_long>((ts - ref.origin) * ref.tb_num),
                  static_cast<A_u_long>(ref.tb_den)};
  };
  for (int i = 1; i < 20; ++i) {
    const int64_t ts = ref.pictures[static_cast<size_t>(i)].ts;
    for (const int64_t target : {ts + h, ts + h + 1, ts + h - 1, ts - h, ts + h + 1}) {
      ASSERT_TRUE(Delivers(s, spec, ref, at(target), world)) << "picture " << i;
    }
  }
  EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
}

// A raw stream carries no timestamps at all: its pictures are counted one
// frame apart from the start, and requests out of order decode from there.
TEST(FrameEdges, StreamWithoutTimestamps) {
  ZARN_REQUIRE_FFMPEG_COMMAND();
  const std::string dir = ::testing::TempDir();
  const std::string raw = dir + "/zarn_raw_" + std::to_string(getpid()) + ".h264";
  const std::string command = "ffmpeg -nostdin -y -loglevel error -i '" +
                              zarn_test::MediaPath("silent.mkv") +
                              "' -an -c:v copy -bsf:v h264_mp4toannexb -f h264 '" + raw + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const ReferenceVideo ref = DecodeReference(raw);
  ASSERT_TRUE(ref.ok) << ref.error;
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  A_Err err = 0;
  AEIO_InSpecH spec = s.ImportPath(raw, &err);
  ASSERT_EQ(err, A_Err_NONE);
  standin::World world(ref.width, ref.height);
  for (const int i : {0, 1, 5, 4, 30, 2, 49}) {
    ASSERT_TRUE(Delivers(s, spec, ref, A_Time{i, 25}, world)) << "frame " << i;
  }
  EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
  std::remove(raw.c_str());
}

// Frame buffers of other sizes get the whole picture point-scaled to them.
TEST(FrameBuffers, AnySizeAndRowLength) {
  struct Size {
    int width, height, extra_rowbytes;
  } const sizes[] = {
      {320, 240, 0},  {160, 120, 0}, {643, 481, 0}, {321, 239, 0},
      {320, 240, 36}, {100, 75, 12}, {1, 1, 0},     {17, 3, 4},
  };
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  A_Err err = 0;
  AEIO_InSpecH spec = s.Import("h264_aac.mkv", &err);
  ASSERT_EQ(err, A_Err_NONE);
  std::mt19937 rng(kSeed);
  for (const Size& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " +" +
                 std::to_string(size.extra_rowbytes));
    const ReferenceVideo ref =
        DecodeReference(zarn_test::MediaPath("h264_aac.mkv"), size.width, size.height);
    ASSERT_TRUE(ref.ok) << ref.error;
    standin::World world(size.width, size.height, size.width * 4 + size.extra_rowbytes);
    std::uniform_int_distribution<int> frame(0, static_cast<int>(ref.pictures.size()) - 1);
    const int first = frame(rng);
    // A new picture, the same one again (reuse at another size), a later one.
    for (const int i :
         {first, first, std::min(first + 2, static_cast<int>(ref.pictures.size()) - 1)}) {
      ASSERT_TRUE(Delivers(s, spec, ref, ref.TimeOf(i), world));
    }
  }
  for (const auto& [width, height] : {std::pair{0, 0}, std::pair{320, 0}, std::pair{0, 240}}) {
    standin::World empty(width, height, width == 0 ? 64 : 0);
    EXPECT_EQ(s.host.DrawFrame(spec, A_Time{1, 25}, empty), A_Err_NONE);
    EXPECT_TRUE(empty.GuardsIntact());
  }
  EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
}

// Colours follow the picture's own matrix and range; a matrix code outside
// FFmpeg's list falls back to the rule by height.
TEST(FrameColours, PictureMatrixAndRange) {
  for (const char* clip :
       {"hd_bt709.mkv", "hd_untagged.mkv", "mjpeg_full.mkv", "bt601_sd.mkv", "matrix_32.mkv"}) {
    SCOPED_TRACE(clip);
    PluginSession s;
    ASSERT_TRUE(s.ready()) << s.error;
    const ReferenceVideo ref = DecodeReference(zarn_test::MediaPath(clip));
    ASSERT_TRUE(ref.ok) << ref.error;
    A_Err err = 0;
    AEIO_InSpecH spec = s.Import(clip, &err);
    ASSERT_EQ(err, A_Err_NONE);
    standin::World world(ref.width, ref.height);
    for (const int i : {0, 3, 1}) ASSERT_TRUE(Delivers(s, spec, ref, ref.TimeOf(i), world));
    EXPECT_EQ(s.Close(spec), A_Err_NONE);
    EXPECT_TRUE(s.Clean());
  }
  // The HD clip's BT.709 colours are not what a default BT.601 conversion gives,
  // so the comparison above can fail.
  const ReferenceVideo hd = DecodeReference(zarn_test::MediaPath("hd_bt709.mkv"));
  const ReferenceVideo hd601 = DecodeReference(zarn_test::MediaPath("hd_bt709.mkv"), 0, 0,
                                               zarn_test::ReferenceColour::kForceBt601);
  ASSERT_TRUE(hd.ok && hd601.ok);
  EXPECT_NE(hd.pictures[0].argb, hd601.pictures[0].argb);
  // Nor are the untagged HD clip's: it is taller than 576 lines, so BT.709.
  const ReferenceVideo untagged = DecodeReference(zarn_test::MediaPath("hd_untagged.mkv"));
  const ReferenceVideo untagged601 = DecodeReference(zarn_test::MediaPath("hd_untagged.mkv"), 0, 0,
                                                     zarn_test::ReferenceColour::kForceBt601);
  ASSERT_TRUE(untagged.ok && untagged601.ok);
  EXPECT_NE(untagged.pictures[0].argb, untagged601.pictures[0].argb);
}

// ---------------------------------------------------------------- deep worlds

// A deep world gets 16-bit pictures from every kind of source, at its own
// size and point-scaled: 10-bit YUV, 12-bit YUV with alpha, 8-bit packed and
// planar RGB, 8-bit YUV widened (the untagged HD clip by the BT.709 rule);
// past the end, 16-bit opaque black.
struct DeepCase {
  const char* clip;
  int width, height;  // 0: the picture's own
};
const DeepCase kDeepCases[] = {
    {"hevc_10bit.mkv", 0, 0},      {"hevc_10bit.mkv", 643, 481}, {"prores_4444.mkv", 0, 0},
    {"prores_4444.mkv", 161, 119}, {"ffv1_rgba.mkv", 0, 0},      {"png.mkv", 100, 75},
    {"utvideo.mkv", 0, 0},         {"utvideo.mkv", 333, 250},    {"h264_aac.mkv", 0, 0},
    {"hd_untagged.mkv", 640, 360},
};

class DeepFrames : public ::testing::TestWithParam<DeepCase> {};

TEST_P(DeepFrames, SixteenBitPicturesAsTheReferenceConvertsThem) {
  const DeepCase& c = GetParam();
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  const ReferenceVideo ref =
      DecodeReference(zarn_test::MediaPath(c.clip), c.width, c.height,
                      zarn_test::ReferenceColour::kPictureRule, ReferenceDepth::k16Bit);
  ASSERT_TRUE(ref.ok) << ref.error;
  A_Err err = 0;
  AEIO_InSpecH spec = s.Import(c.clip, &err);
  ASSERT_EQ(err, A_Err_NONE);
  standin::World world(ref.width, ref.height, 0, standin::Depth::k16Bit);
  const int last = static_cast<int>(ref.pictures.size()) - 1;
  const A_Time past{static_cast<A_long>(ref.TimeOf(last).value + 2 * ref.FramePts() * ref.tb_num),
                    ref.TimeOf(last).scale};
  for (const A_Time t : {ref.TimeOf(0), ref.TimeOf(1), ref.TimeOf(last), ref.TimeOf(2), past}) {
    ASSERT_TRUE(Delivers(s, spec, ref, t, world));
  }
  EXPECT_EQ(s.host.CountOf(standin::Op::Fill), 0);
  EXPECT_EQ(s.host.CountOf(standin::Op::Fill16), 1);  // the black past the end
  EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
}

INSTANTIATE_TEST_SUITE_P(Clips, DeepFrames, ::testing::ValuesIn(kDeepCases), [](const auto& info) {
  const DeepCase& c = info.param;
  return ClipName({{c.clip}, 0}) + "_" + std::to_string(c.width) + "x" + std::to_string(c.height);
});

// One picture of a clip in an 8-bit and in a deep world of its own size.
struct BothDepths {
  int width = 0, height = 0;
  std::vector<uint8_t> narrow;
  std::vector<uint16_t> deep;
};
BothDepths DrawBothDepths(const char* clip, A_Time t) {
  PluginSession s;
  A_Err err = -1;
  AEIO_InSpecH spec = s.Import(clip, &err);
  const standin::Told& told = s.host.TellsFor(spec);
  BothDepths both;
  if (err != A_Err_NONE || !told.dimensions) return both;
  standin::World narrow(told.dimensions->first, told.dimensions->second);
  standin::World deep(narrow.width(), narrow.height(), 0, standin::Depth::k16Bit);
  if (s.host.DrawFrame(spec, t, narrow) == A_Err_NONE &&
      s.host.DrawFrame(spec, t, deep) == A_Err_NONE) {
    both = BothDepths{narrow.width(), narrow.height(), narrow.Pixels(), deep.Pixels16()};
  }
  EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
  return both;
}

// The 10-bit gradient (grey, luma 64..940 across) keeps its levels in a deep
// world: at least 3 times the 8-bit delivery's per channel, from black at 0
// to white at the host's 32768, opaque.
TEST(DeepLevels, TenBitGradientKeepsItsLevels) {
  const BothDepths both = DrawBothDepths("gradient_10bit.mkv", A_Time{0, 25});
  ASSERT_FALSE(both.deep.empty());
  for (size_t c = 0; c < 4; ++c) {
    std::set<int> eight, sixteen;
    for (size_t i = c; i < both.narrow.size(); i += 4) eight.insert(both.narrow[i]);
    for (size_t i = c; i < both.deep.size(); i += 4) sixteen.insert(both.deep[i]);
    EXPECT_EQ(*sixteen.rbegin(), 32768) << "channel " << c;
    if (c == 0) continue;  // alpha: opaque only
    EXPECT_GE(sixteen.size(), 3 * eight.size()) << "channel " << c;
    EXPECT_EQ(*sixteen.begin(), 0) << "channel " << c;
  }
}

// Straight alpha as the clips hold it (tests/media/make_media.sh): the ramp
// v = floor(X * 255 / (W - 1)) in every row. FFV1 and PNG keep those 8 bits,
// which a deep world gets widened as the host widens them. ProRes 4444's
// decoder gives a = 16v + v / 64 at 12 bits: an 8-bit world gets that rounded
// back to v, a deep one a * 32768 / 4095 rounded.
TEST(DeepLevels, AlphaRampsExactlyAsTheClipsHoldThem) {
  for (const char* clip : {"prores_4444.mkv", "ffv1_rgba.mkv", "png.mkv"}) {
    SCOPED_TRACE(clip);
    const bool twelve_bits = std::string(clip) == "prores_4444.mkv";
    const BothDepths both = DrawBothDepths(clip, A_Time{13, 25});
    ASSERT_FALSE(both.deep.empty());
    for (size_t i = 0; i < both.deep.size(); i += 4) {
      const uint32_t v = static_cast<uint32_t>((i / 4) % both.width) * 255 / (both.width - 1);
      const uint32_t a = 16 * v + v / 64;
      ASSERT_EQ(both.narrow[i], v) << "pixel " << i / 4;
      ASSERT_EQ(both.deep[i], twelve_bits ? (a * 32768 + 4095 / 2) / 4095 : (v * 32768 + 128) / 255)
          << "pixel " << i / 4;
    }
  }
}

}  // namespace
