// The three courses of a frame request, seen through the trace log (what is
// read and decoded) at their exact boundaries, and the request's outcome
// when the host or the footage gives it nothing to work with.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/env_setting.h"
#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/reference_video.h"
#include "tests/support/temp_cwd.h"
#include "video/video_reader.h"

namespace {

using zarn_test::PluginSession;
using zarn_test::ReferenceVideo;

constexpr const char* kClip = "h264_aac.mkv";  // 25 fps in milliseconds, key frames every 24

// Each test: a trace log in a fresh current directory, a session, the clip.
class Course : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(s_.ready()) << s_.error;
    ref_ = zarn_test::DecodeReference(zarn_test::MediaPath(kClip));
    ASSERT_TRUE(ref_.ok) << ref_.error;
    ASSERT_EQ(ref_.FramePts(), 40);
    A_Err err = 0;
    spec_ = s_.Import(kClip, &err);
    ASSERT_EQ(err, A_Err_NONE);
  }
  void TearDown() override {
    if (spec_ != nullptr) {
      EXPECT_EQ(s_.Close(spec_), A_Err_NONE);
    }
    EXPECT_TRUE(s_.Clean());
  }

  int64_t Pts(int i) const { return ref_.pictures[static_cast<size_t>(i)].ts; }
  A_Time At(int64_t target) const {  // a time whose target is exactly `target`
    return A_Time{static_cast<A_long>(target - ref_.origin), 1000};
  }
  // Draws one frame; returns the trace lines it wrote.
  std::vector<std::string> Draw(int64_t target, A_Err* result = nullptr) {
    world_.ResetPattern();
    const A_Err err = s_.host.DrawFrame(spec_, At(target), world_);
    if (result != nullptr) *result = err;
    EXPECT_TRUE(world_.GuardsIntact());
    return NewLines();
  }
  std::vector<std::string> NewLines() {
    std::ifstream in(cwd_.LogPath(), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::vector<std::string> lines;
    const std::string text = all.str();
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
      lines.push_back(text.substr(at, end - at));
    }
    std::vector<std::string> fresh(lines.begin() + static_cast<long>(seen_), lines.end());
    seen_ = lines.size();
    return fresh;
  }
  // Timestamps of the pictures decoded, from the "frame_pkt=" lines.
  static std::vector<int64_t> Decoded(const std::vector<std::string>& lines) {
    std::vector<int64_t> out;
    for (const std::string& line : lines) {
      if (line.rfind("frame_pkt=", 0) == 0) out.push_back(std::stoll(line.substr(10)));
    }
    return out;
  }
  static bool FirstPacketIsKey(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      if (line.find("packet_pts=") != std::string::npos) {
        return line.find(";packet_flags=1;") != std::string::npos;
      }
    }
    return false;
  }
  static bool IsReuse(const std::vector<std::string>& lines, const char* outcome) {
    return lines.size() == 4 && lines[0].rfind("seek time=", 0) == 0 &&
           lines[1].rfind("last_pts=", 0) == 0 && lines[2] == outcome &&
           lines[3].rfind("frame time", 0) == 0;
  }
  bool ShowsPicture(int i) const {
    return world_.Pixels() == ref_.pictures[static_cast<size_t>(i)].argb;
  }
  void PlayTo(int last) {
    for (int i = 0; i <= last; ++i) Draw(Pts(i));
  }

  zarn_test::TempCwd cwd_;  // before the session: the log opens at registration
  // The courses themselves, without the picture cache answering first.
  zarn_test::EnvSetting no_cache_{"ZARN_CACHE_MB", "0"};
  PluginSession s_;
  ReferenceVideo ref_;
  AEIO_InSpecH spec_ = nullptr;
  standin::World world_{320, 240};
  size_t seen_ = 0;
};

TEST_F(Course, TraceLinesOfARequest) {
  const std::vector<std::string> lines = Draw(Pts(1));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "seek time=" + std::to_string(Pts(1) - ref_.origin) +
                          "/1000;seek_pts=" + std::to_string(Pts(1)));
  EXPECT_EQ(lines[1], "last_pts=-1;per_pts=40");
  EXPECT_EQ(lines[2].rfind("                packet_pts=", 0), 0u) << lines[2];
  EXPECT_EQ(lines[lines.size() - 2], "SUCCEED!");
  EXPECT_EQ(lines.back().rfind("frame time", 0), 0u);
  EXPECT_TRUE(ShowsPicture(1));
  // The same request again decodes nothing.
  EXPECT_TRUE(IsReuse(Draw(Pts(1)), "SUCCEED!"));
  EXPECT_TRUE(ShowsPicture(1));
}

TEST_F(Course, AheadOfTheLastTarget) {
  PlayTo(10);
  const int64_t L = Pts(10), h = 20;
  EXPECT_TRUE(IsReuse(Draw(L + h), "SUCCEED!"));  // the held picture is still the answer
  EXPECT_TRUE(ShowsPicture(10));
  // One tick further reads on: the next picture, nothing before it again.
  std::vector<int64_t> decoded = Decoded(Draw(L + h + 1));
  ASSERT_FALSE(decoded.empty());
  EXPECT_EQ(decoded.front(), Pts(11));
  EXPECT_TRUE(ShowsPicture(11));
}

TEST_F(Course, ThirtyTwoAndAHalfFramesAheadReadsOn) {
  PlayTo(10);
  const int64_t L = Pts(10), h = 20, P = 40;
  const std::vector<std::string> lines = Draw(L + h + 32 * P);
  ASSERT_FALSE(Decoded(lines).empty());
  EXPECT_EQ(Decoded(lines).front(), Pts(11));
  EXPECT_TRUE(ShowsPicture(ref_.ExpectedIndex(At(L + h + 32 * P))));
}

TEST_F(Course, OneTickMoreSeeks) {
  PlayTo(10);
  const int64_t L = Pts(10), h = 20, P = 40;
  const std::vector<std::string> lines = Draw(L + h + 32 * P + 1);
  EXPECT_TRUE(FirstPacketIsKey(lines));
  ASSERT_FALSE(Decoded(lines).empty());
  EXPECT_EQ(Decoded(lines).front(), Pts(24));  // the key frame before the target
  EXPECT_TRUE(ShowsPicture(ref_.ExpectedIndex(At(L + h + 32 * P + 1))));
}

TEST_F(Course, BehindTheLastTarget) {
  PlayTo(10);
  const int64_t L = Pts(10) + 5, h = 20;
  EXPECT_TRUE(IsReuse(Draw(L), "SUCCEED!"));
  EXPECT_TRUE(IsReuse(Draw(L - h), "SUCCEED!"));  // the picture before lies below L - 2h
  EXPECT_TRUE(ShowsPicture(10));
  const std::vector<std::string> lines = Draw(L - h - 1);  // L is now L - h
  EXPECT_TRUE(ShowsPicture(10));
  EXPECT_TRUE(IsReuse(lines, "SUCCEED!"));
  const std::vector<std::string> back = Draw(L - 2 * h - 2);
  EXPECT_TRUE(FirstPacketIsKey(back));
  EXPECT_EQ(Decoded(back).front(), Pts(0));
  EXPECT_TRUE(ShowsPicture(9));
}

// At the lower edge of a frame-aligned target the previous picture is the
// answer (its interval ends there): the held one is not handed out.
TEST_F(Course, LowerEdgeOfAnAlignedTargetGivesThePreviousPicture) {
  PlayTo(10);
  const std::vector<std::string> lines = Draw(Pts(10) - 20);
  EXPECT_FALSE(IsReuse(lines, "SUCCEED!"));
  EXPECT_TRUE(ShowsPicture(9));
}

// Before the first request the decoder stands at the start: L counts as the
// stream's start less one tick.
TEST_F(Course, FirstRequestReadsFromTheStartWithinReach) {
  const int64_t reach = Pts(0) - 1 + 20 + 32 * 40;
  std::vector<int64_t> decoded = Decoded(Draw(reach));
  ASSERT_FALSE(decoded.empty());
  EXPECT_EQ(decoded.front(), Pts(0));
  EXPECT_TRUE(ShowsPicture(ref_.ExpectedIndex(At(reach))));
}

TEST_F(Course, FirstRequestBeyondReachSeeks) {
  const int64_t beyond = Pts(0) - 1 + 20 + 32 * 40 + 1;
  std::vector<int64_t> decoded = Decoded(Draw(beyond));
  ASSERT_FALSE(decoded.empty());
  EXPECT_EQ(decoded.front(), Pts(24));
  EXPECT_TRUE(ShowsPicture(ref_.ExpectedIndex(At(beyond))));
}

// Sound reads through its own demuxer: the frame requests around a sound
// request reuse and read on as if it had not come.
TEST_F(Course, SoundRequestLeavesThePicturePositionAlone) {
  PlayTo(10);
  std::vector<float> sound(2 * 480);
  ASSERT_EQ(s_.host.GetSound(spec_, A_Time{1, 1}, 48000, 480, sound.data()), A_Err_NONE);
  NewLines();
  EXPECT_TRUE(IsReuse(Draw(Pts(10)), "SUCCEED!"));
  const std::vector<std::string> lines = Draw(Pts(11));
  EXPECT_EQ(lines[1], "last_pts=" + std::to_string(Pts(10)) + ";per_pts=40");
  EXPECT_FALSE(FirstPacketIsKey(lines));
  EXPECT_GT(Decoded(lines).front(), Pts(10));
  EXPECT_TRUE(ShowsPicture(11));
}

TEST_F(Course, PastTheEndIsOpaqueBlackAndRemembered) {
  const int64_t beyond = Pts(static_cast<int>(ref_.pictures.size()) - 1) + 200;
  A_Err err = -1;
  std::vector<std::string> lines = Draw(beyond, &err);
  EXPECT_EQ(err, A_Err_NONE);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "cache!!!!!!!!!!!!!!!!!!!!!"), lines.end());
  EXPECT_EQ(lines[lines.size() - 2], "SPARE!!!");
  EXPECT_EQ(world_.Pixels(), zarn_test::OpaqueBlack(320, 240));
  EXPECT_EQ(s_.Record(spec_)->item->video->last_target, beyond);
  // Black again without decoding.
  EXPECT_TRUE(IsReuse(Draw(beyond), "SPARE!!!"));
  EXPECT_EQ(world_.Pixels(), zarn_test::OpaqueBlack(320, 240));
  // The last picture is still there a little earlier.
  Draw(Pts(static_cast<int>(ref_.pictures.size()) - 1));
  EXPECT_TRUE(ShowsPicture(static_cast<int>(ref_.pictures.size()) - 1));
}

TEST_F(Course, TimesThatNameNoInstantOrLieFarOut) {
  const int count = static_cast<int>(ref_.pictures.size());
  struct Case {
    A_Time t;
    int picture;  // -1: black
  } const cases[] = {
      {{1, 0}, -1},          // zero scale
      {{INT32_MAX, 1}, -1},  // far past the end
      {{INT32_MIN, 1}, 0},   // before the start: the first picture
      {{-1, 25}, 0},        {{INT32_MAX, UINT32_MAX}, count > 12 ? 12 : -1},  // about half a second
  };
  for (const Case& c : cases) {
    world_.ResetPattern();
    EXPECT_EQ(s_.host.DrawFrame(spec_, c.t, world_), A_Err_NONE);
    const std::vector<uint8_t> want = c.picture >= 0
                                          ? ref_.pictures[static_cast<size_t>(c.picture)].argb
                                          : zarn_test::OpaqueBlack(320, 240);
    EXPECT_EQ(world_.Pixels() == want, true) << c.t.value << "/" << c.t.scale;
  }
}

// Failures of the host: its error comes back, nothing is left locked, and
// nothing is drawn when the record could not be reached.
TEST_F(Course, HostFailures) {
  struct Case {
    const char* what;
    standin::Op op;
    bool drawn;
  } const cases[] = {
      {"options handle", standin::Op::GetInSpecOptionsHandle, false},
      {"lock", standin::Op::LockMemHandle, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    s_.host.FailNthCall(c.op, 1, 77);
    A_Err err = 0;
    const std::vector<std::string> lines = Draw(Pts(3), &err);
    EXPECT_EQ(err, 77);
    EXPECT_EQ(world_.Untouched(), !c.drawn);
    if (!c.drawn) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].rfind("frame time", 0), 0u);
    }
    EXPECT_EQ(s_.host.LockedHandleCount(), 0u);
    s_.host.ClearFaults();
  }
  s_.host.MissSuite("PF Fill Matte Suite", 2);
  A_Err err = 0;
  Draw(INT32_MAX, &err);
  EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(s_.host.LockedHandleCount(), 0u);
  EXPECT_EQ(s_.host.OutstandingSuites(), 0);
  s_.host.ClearFaults();

  // A failed unlock: the picture is drawn and the host's error returned.
  s_.host.FailNthCall(standin::Op::UnlockMemHandle, 1, 77);
  Draw(Pts(5), &err);
  EXPECT_EQ(err, 77);
  EXPECT_TRUE(ShowsPicture(5));
  s_.host.ClearFaults();
  // The host still counts the lock it refused to end; end it as the host would.
  const void* table = nullptr;
  ASSERT_EQ(s_.host.BasicSuite()->AcquireSuite("AEGP Memory Suite", 1, &table), kSPNoError);
  static_cast<const AEGP_MemorySuite1*>(table)->AEGP_UnlockMemHandle(s_.host.OptionsHandle(spec_));
  s_.host.BasicSuite()->ReleaseSuite("AEGP Memory Suite", 1);
}

TEST(FrameWithoutVideo, SoundOnlyFootageIsBlack) {
  zarn_test::TempCwd cwd;
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  A_Err err = 0;
  AEIO_InSpecH spec = s.Import("aac_48k.mkv", &err);
  ASSERT_EQ(err, A_Err_NONE);
  standin::World world(64, 48);
  EXPECT_EQ(s.host.DrawFrame(spec, A_Time{1, 25}, world), A_Err_NONE);
  EXPECT_EQ(world.Pixels(), zarn_test::OpaqueBlack(64, 48));
  EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
}

}  // namespace
