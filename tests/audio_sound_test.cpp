// Sound requests through the loaded module, checked against a plain
// continuous decode of the same file (tests/support/reference_audio.h). The
// expected stretch comes from the requested start and count alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/probe.h"
#include "tests/support/reference_audio.h"
#include "tests/support/reference_video.h"
#include "tests/support/seek_counter.h"
#include "tests/support/temp_cwd.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

using zarn_test::CompareSamples;
using zarn_test::DecodeReferenceAudio;
using zarn_test::Difference;
using zarn_test::ReferenceAudio;

// -90 dB of full scale: the largest difference allowed for lossy codecs,
// whose decoders only settle back to the continuous decode after a seek.
const double kLossyLimit = std::pow(10.0, -90.0 / 20.0);

struct Clip {
  const char* name;
  bool lossless;
  bool frame_grid;  // constant frame sizes: any start is exact, not only consecutive ones
  // FFmpeg's AAC encoder uses noise substitution, here strongest in the last
  // frames. The decoder's noise generator runs on from wherever decoding
  // began, so after a seek those frames hold noise of the same level, not the
  // same samples: checked there only to kNoiseLimit, which still catches a
  // sample out of place.
  bool noise_at_end = false;
  // Nellymoser's decoder fills empty bands with noise from a generator that
  // runs on from wherever decoding began: after a seek every frame differs
  // by noise, held to kSeekNoiseLimit (a sample out of place is 25 dB more).
  bool noisy_after_seek = false;
};

const double kNoiseLimit = std::pow(10.0, -40.0 / 20.0);
const double kSeekNoiseLimit = std::pow(10.0, -55.0 / 20.0);
constexpr int64_t kNoisyTail = 6000;  // sample frames before the end

const Clip kClips[] = {
    {"pcm_s16_48k.mkv", true, true},
    {"pcm_f32_51.mkv", true, true},
    // Channels FFmpeg has no stereo mix for.
    {"pcm_32ch.mkv", true, true},
    {"pcm_64ch.mkv", true, true},
    {"flac_44k.mkv", true, true},
    {"flac_mono_22k.mkv", true, true},
    {"aac_48k.mkv", false, true, true},
    {"mp3_44k.mkv", false, true},
    {"ac3_51.mkv", false, true},
    {"opus_48k.mkv", false, true},
    {"aac_44k.flv", false, true, true},
    {"mp3_22k.flv", false, true},
    {"vorbis_44k.mkv", false, false},
    // One frame size, learned from the decoder rather than a list of codecs.
    {"nellymoser_22k.flv", false, true, false, true},
    {"adpcm_swf_44k.flv", true, true},
    {"mp2_48k.mkv", false, true},
    // Sound between video packets.
    {"h264_aac.mkv", false, true, true},
    {"h264_mp3.flv", false, true},
    {"vp9_opus.mkv", false, true},
    {"mpeg4.mkv", false, true},
    {"two_streams.mkv", false, true, true},
};

std::string ClipTestName(const ::testing::TestParamInfo<Clip>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

constexpr size_t kGuard = 64;  // floats of guard on each side of a buffer
const float kPattern = -1234.5f;

class SoundSession {
 public:
  explicit SoundSession(const std::string& clip) {
    if (!session_.ready()) {
      error_ = session_.error;
      return;
    }
    A_Err err = A_Err_NONE;
    spec_ = session_.Import(clip, &err);
    if (spec_ == nullptr || err != A_Err_NONE) error_ = "import returned " + std::to_string(err);
    ref_ = DecodeReferenceAudio(zarn_test::MediaPath(clip));
    if (error_.empty() && !ref_.ok) error_ = "reference decode failed";
  }
  ~SoundSession() {
    if (spec_ != nullptr) session_.Close(spec_);
  }

  const std::string& error() const { return error_; }
  const ReferenceAudio& ref() const { return ref_; }
  zarn_test::PluginSession& session() { return session_; }
  AEIO_InSpecH spec() const { return spec_; }

  // One request of `count` sample frames at footage sample `first` (start
  // time first / rate); checks the guards around the buffer.
  std::vector<float> Get(int64_t first, uint32_t count, A_Err* result = nullptr) {
    return GetAt(A_Time{static_cast<A_long>(first), static_cast<A_u_long>(ref_.rate)},
                 first > 0 ? static_cast<A_u_long>(first) : 0, count, result);
  }
  std::vector<float> GetAt(A_Time start, A_u_long start_sample, uint32_t count,
                           A_Err* result = nullptr) {
    std::vector<float> buffer(size_t{count} * 2 + 2 * kGuard, kPattern);
    const A_Err err =
        session_.host.GetSound(spec_, start, start_sample, count, buffer.data() + kGuard);
    if (result != nullptr) *result = err;
    for (size_t i = 0; i < kGuard; ++i) {
      EXPECT_EQ(buffer[i], kPattern) << "written before the buffer";
      EXPECT_EQ(buffer[buffer.size() - 1 - i], kPattern) << "written past the buffer";
    }
    return {buffer.begin() + kGuard, buffer.end() - kGuard};
  }

 private:
  zarn_test::PluginSession session_;
  AEIO_InSpecH spec_ = nullptr;
  ReferenceAudio ref_;
  std::string error_;
};

::testing::AssertionResult Matches(const std::vector<float>& got, const std::vector<float>& want,
                                   bool lossless, double lossy_limit = kLossyLimit) {
  const Difference d = CompareSamples(got, want);
  const double limit = lossless ? 0.0 : lossy_limit;
  if (d.largest <= limit) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "largest difference " << d.largest << " (" << 20 * std::log10(d.largest)
         << " dBFS) at sample frame " << d.at << " of " << got.size() / 2 << ": got "
         << got[d.at * 2] << " " << got[d.at * 2 + 1] << ", want " << want[d.at * 2] << " "
         << want[d.at * 2 + 1];
}

// ---------------------------------------------------------------- any request

class SoundAnyRequest : public ::testing::TestWithParam<Clip> {};

TEST_P(SoundAnyRequest, MatchesTheContinuousDecode) {
  const Clip& clip = GetParam();
  if (!clip.frame_grid) GTEST_SKIP() << "varying frame sizes: only consecutive requests are exact";
  SoundSession sound(clip.name);
  ASSERT_EQ(sound.error(), "");
  const ReferenceAudio& ref = sound.ref();
  const int64_t offset = ref.FootageOffset();
  const std::vector<int64_t>& starts = ref.frame_starts;
  ASSERT_GT(starts.size(), 8u);
  const int64_t frame = starts[2] - starts[1];

  struct Case {
    const char* what;
    int64_t first;  // footage sample
    uint32_t count;
  };
  std::vector<Case> cases = {
      {"mid-stream, on a frame boundary", starts[starts.size() / 2] - offset, 4800},
      {"inside a frame", starts[starts.size() / 3] - offset + frame / 3, 4800},
      {"one sample", starts[starts.size() / 4] - offset + 7, 1},
      {"from sample 0", 0, 2000},
      {"before the start", -300, 1000},
      {"near the end", ref.frames() - offset - 5000, 4000},
      {"in the last frame, running past the end", ref.frames() - offset - 50, 3000},
      {"one sample before a boundary", starts[starts.size() / 5] - offset - 1, 2},
      {"past the end", ref.frames() - offset + 1000, 500},
  };
  std::mt19937 random(20240611);  // fixed seed: replayable
  for (int i = 0; i < 6; ++i) {
    const int64_t first = static_cast<int64_t>(random() % static_cast<uint32_t>(ref.frames()));
    cases.push_back({"random", first, 1 + static_cast<uint32_t>(random() % 6000)});
  }
  for (const Case& c : cases) {
    A_Err err = -1;
    const std::vector<float> got = sound.Get(c.first, c.count, &err);
    EXPECT_EQ(err, A_Err_NONE) << c.what;
    const bool noisy = clip.noise_at_end && c.first + offset + c.count > ref.frames() - kNoisyTail;
    const double limit =
        noisy ? kNoiseLimit : (clip.noisy_after_seek ? kSeekNoiseLimit : kLossyLimit);
    EXPECT_TRUE(Matches(got, ref.Expected(c.first, c.count), clip.lossless, limit))
        << c.what << ": first " << c.first << ", count " << c.count;
  }
}

INSTANTIATE_TEST_SUITE_P(Clips, SoundAnyRequest, ::testing::ValuesIn(kClips), ClipTestName);

// ---------------------------------------------------------- consecutive requests

class SoundConsecutive : public ::testing::TestWithParam<Clip> {};

TEST_P(SoundConsecutive, ConcatenateToTheContinuousDecode) {
  const Clip& clip = GetParam();
  SoundSession sound(clip.name);
  ASSERT_EQ(sound.error(), "");
  const ReferenceAudio& ref = sound.ref();
  struct Run {
    uint32_t chunk;
    int requests;
  };
  // Sizes chosen to cut frames anywhere; the last runs past the end.
  const Run runs[] = {{1, 60}, {441, 30}, {1024, 20}, {4800, 12}, {48000, 6}};
  // Codecs without a frame grid are exact from the start; the others also
  // from a start chosen inside a frame.
  std::vector<int64_t> origins = {0};
  if (clip.frame_grid) origins.push_back(12345);
  for (const int64_t origin : origins) {
    for (const Run& run : runs) {
      std::vector<float> joined;
      for (int i = 0; i < run.requests; ++i) {
        const std::vector<float> got = sound.Get(origin + int64_t{i} * run.chunk, run.chunk);
        joined.insert(joined.end(), got.begin(), got.end());
      }
      const int64_t total = int64_t{run.chunk} * run.requests;
      const std::vector<float> want = ref.Expected(origin, total);
      // After a seek (any origin but 0), a noisy end is held to kNoiseLimit.
      size_t strict = want.size();
      if (clip.noise_at_end && origin != 0) {
        const int64_t tail = ref.frames() - ref.FootageOffset() - kNoisyTail - origin;
        strict = static_cast<size_t>(std::clamp<int64_t>(tail, 0, total)) * 2;
      }
      const double limit = clip.noisy_after_seek && origin != 0 ? kSeekNoiseLimit : kLossyLimit;
      EXPECT_TRUE(Matches({joined.begin(), joined.begin() + strict},
                          {want.begin(), want.begin() + strict}, clip.lossless, limit))
          << "chunks of " << run.chunk << " from " << origin;
      EXPECT_TRUE(Matches({joined.begin() + strict, joined.end()},
                          {want.begin() + strict, want.end()}, clip.lossless, kNoiseLimit))
          << "chunks of " << run.chunk << " from " << origin << ", the noisy end";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Clips, SoundConsecutive, ::testing::ValuesIn(kClips), ClipTestName);

// ---------------------------------------------------------------- edges

TEST(SoundEdges, StartTimeInAnyScaleRoundsToTheNearestSample) {
  SoundSession sound("flac_44k.mkv");
  ASSERT_EQ(sound.error(), "");
  struct Case {
    A_Time start;
    int64_t first;  // round(value / scale * 44100)
  };
  const Case cases[] = {
      {{1234567, 1000000}, 54444},  // 54444.40
      {{1, 3}, 14700},
      {{2, 88200}, 1},    // exactly one sample
      {{1, 88200}, 1},    // half a sample rounds up
      {{-1, 1000}, -44},  // 44.1 samples before the start
  };
  for (const Case& c : cases) {
    const std::vector<float> got = sound.GetAt(c.start, 0, 300);
    EXPECT_TRUE(Matches(got, sound.ref().Expected(c.first, 300), true))
        << c.start.value << "/" << c.start.scale;
  }
}

TEST(SoundEdges, ZeroSamplesWritesNothingAndLeavesTheNextRequestExact) {
  SoundSession sound("pcm_s16_48k.mkv");
  ASSERT_EQ(sound.error(), "");
  A_Err err = -1;
  EXPECT_TRUE(sound.Get(1000, 0, &err).empty());
  EXPECT_EQ(err, A_Err_NONE);
  EXPECT_TRUE(Matches(sound.Get(1000, 480), sound.ref().Expected(1000, 480), true));
  EXPECT_TRUE(sound.Get(1480, 0).empty());
  EXPECT_TRUE(Matches(sound.Get(1480, 480), sound.ref().Expected(1480, 480), true));
}

TEST(SoundEdges, UnusableTimesAndFootageWithoutSoundGiveSilence) {
  SoundSession sound("aac_48k.mkv");
  ASSERT_EQ(sound.error(), "");
  A_Err err = -1;
  for (const std::vector<float>& got :
       {sound.GetAt({48000, 0}, 48000, 960, &err), sound.GetAt({48000, 1}, 0, 960, &err)}) {
    EXPECT_EQ(err, A_Err_NONE);
    EXPECT_TRUE(Matches(got, std::vector<float>(960 * 2, 0.0f), true));
  }

  // Footage that told the host no sound format has no buffer size to fill.
  zarn_test::PluginSession& plugin = sound.session();
  AEIO_InSpecH silent = plugin.Import("silent.mkv", &err);
  ASSERT_EQ(err, A_Err_NONE);
  std::vector<float> buffer(960 * 2, kPattern);
  EXPECT_EQ(plugin.host.GetSound(silent, A_Time{0, 25}, 0, 960, buffer.data()), A_Err_NONE);
  EXPECT_TRUE(Matches(buffer, std::vector<float>(960 * 2, kPattern), true)) << "written to";
  EXPECT_EQ(plugin.Close(silent), A_Err_NONE);
}

TEST(SoundEdges, HostFailuresAreReturnedAndNothingStaysLocked) {
  SoundSession sound("mp3_44k.mkv");
  ASSERT_EQ(sound.error(), "");
  standin::Host& host = sound.session().host;
  // Without the record the buffer's size is not known: nothing is written.
  const std::vector<float> untouched(441 * 2, kPattern);
  struct Case {
    standin::Op op;
    bool null_lock;
    A_Err want;
  };
  const Case cases[] = {{standin::Op::GetInSpecOptionsHandle, false, 77},
                        {standin::Op::LockMemHandle, false, 77},
                        {standin::Op::LockMemHandle, true, A_Err_ALLOC}};
  for (const Case& c : cases) {
    if (c.null_lock)
      host.NullNthLock(1);
    else
      host.FailNthCall(c.op, 1, 77);
    A_Err err = 0;
    const std::vector<float> got = sound.Get(4410, 441, &err);
    host.ClearFaults();
    EXPECT_EQ(err, c.want) << standin::OpName(c.op);
    EXPECT_TRUE(Matches(got, untouched, true)) << standin::OpName(c.op);
    EXPECT_EQ(host.LockedHandleCount(), 0u) << standin::OpName(c.op);
    EXPECT_EQ(host.OutstandingSuites(), 0) << standin::OpName(c.op);
  }
  // The footage still plays afterwards; then a failing unlock is the result
  // even though the sound was delivered.
  EXPECT_TRUE(Matches(sound.Get(4410, 441), sound.ref().Expected(4410, 441), false));
  host.FailNthCall(standin::Op::UnlockMemHandle, 1, 77);
  A_Err err = 0;
  EXPECT_TRUE(Matches(sound.Get(4851, 441, &err), sound.ref().Expected(4851, 441), false));
  EXPECT_EQ(err, 77);
}

TEST(SoundEdges, TraceLinesOfARequest) {
  zarn_test::TempCwd cwd;
  std::vector<std::string> lines;
  {
    SoundSession sound("pcm_s16_48k.mkv");
    ASSERT_EQ(sound.error(), "");
    sound.Get(0, 100);
    sound.Get(48000 * 10, 100);  // past the end
    std::ifstream log(cwd.LogPath(), std::ios::binary);
    for (std::string line; std::getline(log, line);) {
      ASSERT_FALSE(line.empty());
      EXPECT_EQ(line.back(), '\r');
      line.pop_back();
      lines.push_back(line);
    }
  }
  const std::vector<std::string> want = {
      "GetSound!---Begin",  "num_samplesLu=100",
      "start_sampLu0",      "aCodecCtx sample_fmt=" + std::to_string(AV_SAMPLE_FMT_S16),
      "rending!",           "addr offset800",
      "GetSound!---Begin",  "num_samplesLu=100",
      "start_sampLu480000", "aCodecCtx sample_fmt=" + std::to_string(AV_SAMPLE_FMT_S16),
      "rending!",           "addr offset0"};
  // Only the sound lines: other callbacks may write their own.
  std::vector<std::string> sound_lines;
  for (const std::string& line : lines) {
    for (const char* prefix :
         {"GetSound", "num_samplesLu", "start_sampLu", "aCodecCtx", "rending", "addr offset"}) {
      if (line.rfind(prefix, 0) == 0) sound_lines.push_back(line);
    }
  }
  EXPECT_EQ(sound_lines, want);
}

TEST(SoundEdges, ManyRequestsLeaveNothingBehind) {
  zarn_test::PluginSession session;
  ASSERT_TRUE(session.ready()) << session.error;
  std::vector<float> buffer(4800 * 2);
  for (const char* clip : {"opus_48k.mkv", "ac3_51.mkv", "h264_aac.mkv"}) {
    A_Err err = -1;
    AEIO_InSpecH spec = session.Import(clip, &err);
    ASSERT_EQ(err, A_Err_NONE) << clip;
    for (int i = 0; i < 20; ++i) {
      const A_Time start{(i * 7919) % 240000, 48000};
      EXPECT_EQ(session.host.GetSound(spec, start, 0, 4800, buffer.data()), A_Err_NONE);
    }
    EXPECT_EQ(session.Close(spec), A_Err_NONE);
  }
  EXPECT_TRUE(session.Clean());
}

}  // namespace

namespace {

// A file whose timestamps jump: half a second of silence belongs there.
TEST(SoundEdges, SilenceForAGapInTheFile) {
  ZARN_REQUIRE_FFMPEG_COMMAND();
  // Beside the shared media, in this build tree: the media folder is a cache.
  const std::string path =
      (std::filesystem::path(zarn_test::MediaDir()).parent_path() / "audio_gap_pcm.mkv").string();
  // 1 s of sweep, then the rest of it half a second later (frames from the
  // one that starts after 1 s on are shifted); made once per build tree.
  const std::string command =
      "test -s '" + path +
      "' || ffmpeg -nostdin -y -loglevel error -f lavfi -i "
      "'aevalsrc=exprs=0.5*sin(2*PI*(220*t+10*t*t))|0.4*sin(2*PI*(1800*t-10*t*t))"
      ":channel_layout=stereo:sample_rate=48000:duration=2' "
      "-af \"asetpts='if(gte(T,1),PTS+24000,PTS)'\" -c:a pcm_s16le -fflags +bitexact '" +
      path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  zarn_test::PluginSession session;
  ASSERT_TRUE(session.ready()) << session.error;
  A_Err err = -1;
  AEIO_InSpecH spec = session.ImportPath(path, &err);
  ASSERT_EQ(err, A_Err_NONE);
  const ReferenceAudio ref = DecodeReferenceAudio(path);  // the gap closed up
  ASSERT_TRUE(ref.ok);
  ASSERT_EQ(ref.FootageOffset(), 0);
  // Where the gap begins: the first decoded frame starting after 1 s.
  int64_t gap_start = 0;
  for (const int64_t start : ref.frame_starts) {
    if (start >= 48000) {
      gap_start = start;
      break;
    }
  }
  ASSERT_GT(gap_start, 0);
  const int64_t gap = 24000;
  const int64_t tick = 48;  // the container keeps whole milliseconds

  // Consecutive requests across the gap, then one that seeks into it.
  std::vector<float> joined;
  std::vector<float> buffer(4000 * 2);
  for (int64_t first = 0; first < gap_start + gap + 8000; first += 4000) {
    ASSERT_EQ(session.host.GetSound(spec, A_Time{static_cast<A_long>(first), 48000}, 0, 4000,
                                    buffer.data()),
              A_Err_NONE);
    joined.insert(joined.end(), buffer.begin(), buffer.end());
  }
  const auto slice = [](const std::vector<float>& v, int64_t from, int64_t to) {
    return std::vector<float>(v.begin() + from * 2, v.begin() + to * 2);
  };
  EXPECT_TRUE(Matches(slice(joined, 0, gap_start), ref.Expected(0, gap_start), true));
  EXPECT_TRUE(Matches(slice(joined, gap_start + tick, gap_start + gap - tick),
                      std::vector<float>((gap - 2 * tick) * 2, 0.0f), true));
  const std::vector<float> after = slice(joined, gap_start + gap + tick, gap_start + gap + 2000);
  EXPECT_GT(*std::max_element(after.begin(), after.end()), 0.1f) << "the sound resumes";

  ASSERT_EQ(session.host.GetSound(spec, A_Time{static_cast<A_long>(gap_start + 1000), 48000}, 0,
                                  4000, buffer.data()),
            A_Err_NONE);
  EXPECT_TRUE(Matches(buffer, std::vector<float>(4000 * 2, 0.0f), true)) << "inside the gap";
  EXPECT_EQ(session.Close(spec), A_Err_NONE);
}

// ------------------------------------------------- picture and sound together

// Picture and sound that start apart (make_media.sh, sync_*): the white
// picture and the click belong to the same instant M of the file, which
// starts at 0, so both lie at footage time M.
struct SyncClip {
  const char* name;
  int marker_ms;  // M
};
const SyncClip kSyncClips[] = {
    {"sync_after.mkv", 1000},    {"sync_before.mkv", 1500},   {"sync_frame.mkv", 1000},
    {"sync_together.mkv", 1000}, {"sync_after.flv", 1000},    {"sync_before.flv", 1500},
    {"sync_frame.flv", 1000},    {"sync_together.flv", 1000}, {"sync_late.ept", 1000},
    {"sync_after.mad", 1000},
};

// The mean of a picture's red channel: about 255 for white, 0 for black.
double MeanRed(const std::vector<uint8_t>& argb) {
  double sum = 0;
  for (size_t i = 1; i < argb.size(); i += 4) sum += argb[i];
  return sum / static_cast<double>(argb.size() / 4);
}

TEST(Timeline, PictureAndSoundOfOneInstantMeet) {
  for (const SyncClip& clip : kSyncClips) {
    SCOPED_TRACE(clip.name);
    SoundSession sound(clip.name);
    ASSERT_EQ(sound.error(), "");
    standin::World world(160, 120);
    // The frames before and after the marker, and the edges of its window
    // (20 fps: the marker is the answer for M - 25 ms < T <= M + 25 ms).
    for (const int step_ms : {-50, -25, -24, 0, 25, 26, 50}) {
      ASSERT_EQ(sound.session().host.DrawFrame(sound.spec(), A_Time{clip.marker_ms + step_ms, 1000},
                                               world),
                A_Err_NONE);
      const double red = MeanRed(world.Pixels());
      EXPECT_EQ(red > 200, step_ms > -25 && step_ms <= 25)
          << "frame at " << clip.marker_ms + step_ms << " ms";
      EXPECT_TRUE(red > 200 || red < 50);
    }
    // Two seconds from footage sample 0: silence but for the click, in both
    // channels, where the continuous decode has it (the origin, which may lie
    // between two samples, is placed by the reference's own rounding).
    const int rate = sound.ref().rate;
    int64_t click = -1;
    for (int64_t i = 0; i < sound.ref().frames(); ++i) {
      if (std::fabs(sound.ref().samples[static_cast<size_t>(i) * 2]) > 0.5f) click = i;
    }
    ASSERT_GE(click, 0) << "no click in the reference decode";
    click -= sound.ref().FootageOffset();
    EXPECT_NEAR(click, (int64_t{clip.marker_ms} * rate + 500) / 1000, 1);
    const std::vector<float> got = sound.Get(0, static_cast<uint32_t>(2 * rate));
    std::vector<int64_t> loud;
    for (size_t i = 0; i < got.size(); ++i) {
      if (std::fabs(got[i]) > 0.5f) loud.push_back(static_cast<int64_t>(i / 2));
    }
    EXPECT_EQ(loud, (std::vector<int64_t>{click, click}));
  }
}

// An origin that is the sound's start and falls between two ticks of the
// picture's time base: requests a tick either side of each window's edge
// around the marker get the pictures the reference places there.
TEST(Timeline, AnOriginBetweenPictureTicksPlacesEdgesExactly) {
  const std::string clip = "sync_early.ept";
  zarn_test::PluginSession session;
  ASSERT_TRUE(session.ready()) << session.error;
  A_Err err = -1;
  AEIO_InSpecH spec = session.Import(clip, &err);
  ASSERT_EQ(err, A_Err_NONE);
  const zarn_test::ReferenceVideo video = zarn_test::DecodeReference(zarn_test::MediaPath(clip));
  ASSERT_TRUE(video.ok) << video.error;
  standin::World world(video.width, video.height);
  for (int i = 19; i <= 21; ++i) {  // the marker is picture 20
    for (const int64_t d : {-1, 0, 1}) {
      const int64_t ticks =
          video.pictures[static_cast<size_t>(i)].ts - video.origin - video.HalfPts() + d;
      const A_Time t{static_cast<A_long>(ticks * video.tb_num),
                     static_cast<A_u_long>(video.tb_den)};
      ASSERT_EQ(session.host.DrawFrame(spec, t, world), A_Err_NONE);
      const int want = video.ExpectedIndex(t);
      ASSERT_GE(want, 0);
      EXPECT_TRUE(world.Pixels() == video.pictures[static_cast<size_t>(want)].argb)
          << "picture " << i << ", " << d << " tick(s) from its window's edge";
    }
  }
  EXPECT_EQ(session.Close(spec), A_Err_NONE);
}

// As the host previews: a frame, the sound that covers it (1/fps of sound),
// the next frame... Every picture is the sequential decode's, the sound joins
// into the continuous decode, and nothing seeks after the first frame and
// sound request.
struct AvClip {
  const char* name;
  bool lossless;
};
const AvClip kAvClips[] = {
    {"h264_aac.mkv", false},   {"h264_mp3.flv", false},   {"h264_aac.flv", false},
    {"vp9_opus.mkv", false},   {"mpeg4.mkv", false},      {"two_streams.mkv", false},
    {"vp8_vorbis.mkv", false}, {"sync_before.mkv", true}, {"sync_frame.flv", true},
};

std::string AvClipName(const ::testing::TestParamInfo<AvClip>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// The first footage sample of frame i: round(i / fps x rate).
int64_t FirstSampleOfFrame(int64_t i, const zarn_test::ReferenceVideo& video, int rate) {
  const int64_t num = i * video.rate_den * rate;
  return (num + video.rate_num / 2) / video.rate_num;
}

class Interleaved : public ::testing::TestWithParam<AvClip> {};

TEST_P(Interleaved, PicturesAndJoinedSoundMatchTheirReferences) {
  const AvClip& clip = GetParam();
  SoundSession sound(clip.name);
  ASSERT_EQ(sound.error(), "");
  const zarn_test::ReferenceVideo video =
      zarn_test::DecodeReference(zarn_test::MediaPath(clip.name));
  ASSERT_TRUE(video.ok) << video.error;
  standin::World world(video.width, video.height);
  const int rate = sound.ref().rate;
  const int frames = static_cast<int>(video.pictures.size());
  std::vector<float> joined;
  const int64_t seeks_at_start = zarn_test::SeekCount();
  int64_t seeks_after_first = 0;
  for (int i = 0; i < frames; ++i) {
    const A_Time at{static_cast<A_long>(int64_t{i} * video.rate_den),
                    static_cast<A_u_long>(video.rate_num)};
    ASSERT_EQ(sound.session().host.DrawFrame(sound.spec(), at, world), A_Err_NONE);
    const int want = video.ExpectedIndex(at);
    ASSERT_GE(want, 0) << "frame " << i;
    EXPECT_TRUE(world.Pixels() == video.pictures[static_cast<size_t>(want)].argb) << "frame " << i;
    const int64_t first = FirstSampleOfFrame(i, video, rate);
    const auto count = static_cast<uint32_t>(FirstSampleOfFrame(i + 1, video, rate) - first);
    const std::vector<float> got = sound.Get(first, count);
    joined.insert(joined.end(), got.begin(), got.end());
    if (i == 0) seeks_after_first = zarn_test::SeekCount();
  }
  EXPECT_TRUE(Matches(joined, sound.ref().Expected(0, static_cast<int64_t>(joined.size() / 2)),
                      clip.lossless));
  if (zarn_test::SeeksCounted()) {
    // The counter sees the module: its first requests open their demuxers.
    EXPECT_GT(seeks_after_first, seeks_at_start);
    EXPECT_EQ(zarn_test::SeekCount(), seeks_after_first)
        << "a request after the first seeked or opened a demuxer";
  }
}

INSTANTIATE_TEST_SUITE_P(Clips, Interleaved, ::testing::ValuesIn(kAvClips), AvClipName);

// Files whose header holds no length or a false one: recordings whose
// recorder was killed or is still writing, a start offset counted into the
// length, a file cut short, durations of +inf, NaN, -2.5 s and 10^12 s. The
// host is told where the last packet ends, and the last pictures and the
// last second of sound, reached by seeking (in files without an index), are
// the sequential decode's.
const AvClip kLyingClips[] = {
    {"killed_h264_aac.mkv", false}, {"killed_h264_pcm.mkv", true}, {"killed_aac.mkv", false},
    {"killed_h264_aac.flv", false}, {"killed_h264_pcm.flv", true}, {"killed_aac.flv", false},
    {"growing.mkv", false},         {"start_1000.mkv", false},     {"truncated.mkv", false},
    {"duration_inf.mkv", false},    {"duration_nan.mkv", false},   {"duration_neg.mkv", false},
    {"duration_huge.mkv", false},   {"duration_inf.flv", false},   {"duration_nan.flv", false},
    {"duration_neg.flv", false},    {"duration_huge.flv", false},
};

class LyingDuration : public ::testing::TestWithParam<AvClip> {};

TEST_P(LyingDuration, ToldWhereItEndsAndExactThere) {
  const AvClip& clip = GetParam();
  SoundSession sound(clip.name);
  ASSERT_EQ(sound.error(), "");
  const ReferenceAudio& audio = sound.ref();
  const zarn_test::ReferenceVideo video =
      zarn_test::DecodeReference(zarn_test::MediaPath(clip.name));
  const bool has_video = video.ok && !video.pictures.empty();

  // Where the decodes end, in footage seconds; one frame of either is the
  // tolerance (and the hundredths the duration is told in).
  const int64_t sound_end = audio.frames() - audio.FootageOffset();
  double end = static_cast<double>(sound_end) / audio.rate;
  double tolerance = 2048.0 / audio.rate;
  if (has_video) {
    const double tb = static_cast<double>(video.tb_num) / video.tb_den;
    end = std::max(end, (video.pictures.back().ts + video.FramePts() - video.origin) * tb);
    tolerance = std::max(tolerance, video.FramePts() * tb);
  }
  const standin::Told& told = sound.session().host.TellsFor(sound.spec());
  ASSERT_TRUE(told.duration.has_value());
  ASSERT_EQ(told.duration->scale, 100u);
  EXPECT_NEAR(told.duration->value / 100.0, end, tolerance + 0.01);

  if (has_video) {
    standin::World world(video.width, video.height);
    const int last = static_cast<int>(video.pictures.size()) - 1;
    for (int i : {last, last - 1, last - 10}) {
      ASSERT_EQ(sound.session().host.DrawFrame(sound.spec(), video.TimeOf(i), world), A_Err_NONE);
      EXPECT_TRUE(world.Pixels() == video.pictures[static_cast<size_t>(i)].argb) << "frame " << i;
    }
  }
  // A whole AAC stream's last frames decode differently after a seek (see
  // Clip::noise_at_end); a killed one has no such end.
  const int64_t first = sound_end - audio.rate - (clip.lossless ? 0 : kNoisyTail);
  EXPECT_TRUE(Matches(sound.Get(first, static_cast<uint32_t>(audio.rate)),
                      audio.Expected(first, audio.rate), clip.lossless));
}

INSTANTIATE_TEST_SUITE_P(Clips, LyingDuration, ::testing::ValuesIn(kLyingClips), AvClipName);

// Frames anywhere, sound that goes on or jumps, in a random order that the
// seed replays (ZARN_TEST_SEED sets it).
TEST(Interleaved, RandomMixesStayExact) {
  const char* seed_text = std::getenv("ZARN_TEST_SEED");
  const uint32_t seed = seed_text != nullptr
                            ? static_cast<uint32_t>(std::strtoul(seed_text, nullptr, 10))
                            : 20261208u;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (const AvClip& clip : {AvClip{"h264_aac.mkv", false}, AvClip{"sync_frame.flv", true},
                             AvClip{"vp9_opus.mkv", false}}) {
    SCOPED_TRACE(clip.name);
    SoundSession sound(clip.name);
    ASSERT_EQ(sound.error(), "");
    const zarn_test::ReferenceVideo video =
        zarn_test::DecodeReference(zarn_test::MediaPath(clip.name));
    ASSERT_TRUE(video.ok) << video.error;
    standin::World world(video.width, video.height);
    const ReferenceAudio& ref = sound.ref();
    // Jumps stay clear of the AAC clip's noisy end (see Clip::noise_at_end).
    const int64_t last_start = ref.frames() - ref.FootageOffset() - kNoisyTail - 5000;
    int64_t next_sound = 0;
    for (int n = 0; n < 60; ++n) {
      if (random() % 2 == 0) {
        const int picture = static_cast<int>(random() % video.pictures.size());
        const A_Time at = video.TimeOf(picture);
        ASSERT_EQ(sound.session().host.DrawFrame(sound.spec(), at, world), A_Err_NONE);
        EXPECT_TRUE(world.Pixels() ==
                    video.pictures[static_cast<size_t>(video.ExpectedIndex(at))].argb)
            << "request " << n << ": picture " << picture;
      } else {
        if (random() % 5 < 2) next_sound = static_cast<int64_t>(random() % last_start);
        const auto count = static_cast<uint32_t>(1 + random() % 4800);
        EXPECT_TRUE(
            Matches(sound.Get(next_sound, count), ref.Expected(next_sound, count), clip.lossless))
            << "request " << n << ": sound from " << next_sound;
        next_sound += count;
      }
    }
  }
}

}  // namespace
