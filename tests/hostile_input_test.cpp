// Hostile input through the stand-in host: damaged files of every test format,
// files that are not media, files that change under an imported item, odd
// stream values, odd paths and garbage project blocks. Whatever the input, the
// host must see import answer 0 or 2, every frame request 0 with a picture or
// black in every pixel, every sound request 0 with sound or silence in every
// sample, nothing written outside a buffer, and nothing left behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "footage/footage_item.h"
#include "tests/support/frame_code.h"
#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/temp_cwd.h"

namespace {

namespace fs = std::filesystem;
using zarn_test::MediaPath;
using zarn_test::PluginSession;
using zarn_test::TempCwd;

// Broken input makes FFmpeg talk a lot; the results are what is checked.
[[maybe_unused]] const bool kQuietFfmpeg = [] {
  av_log_set_level(AV_LOG_QUIET);
  return true;
}();

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Media made here with the ffmpeg command, cached beside the test media so a
// clip is encoded once per build tree. Made under a temporary name and
// renamed, so tests running side by side never read half a file.
std::string GeneratedClip(const std::string& name, const std::string& ffmpeg_args) {
  const fs::path dir = fs::path(zarn_test::MediaDir()).parent_path() / "hostile-media";
  const fs::path path = dir / name;
  if (fs::exists(path)) return path.string();
  fs::create_directories(dir);
  const fs::path temp = dir / (std::to_string(getpid()) + "-" + name);
  const std::string command =
      "ffmpeg -nostdin -y -loglevel error -threads 1 " + ffmpeg_args + " '" + temp.string() + "'";
  if (std::system(command.c_str()) != 0) return {};
  fs::rename(temp, path);
  return path.string();
}

// ---- what every request must give the host

struct FrameAsk {
  A_long value;
  A_u_long scale;
  A_long width;  // 0: the footage's own size
  A_long height;
};

// In order, back, ahead, past the end, before the start, and a zero scale.
const FrameAsk kFrameAsks[] = {{0, 100, 0, 0},    {4, 100, 50, 30},    {100, 100, 0, 0},
                               {1, 100, 641, 17}, {250, 100, 0, 0},    {9000, 100, 32, 24},
                               {-7, 100, 0, 0},   {1001, 30000, 3, 2}, {5, 0, 8, 8}};

struct SoundAsk {
  A_long value;
  A_u_long scale;
  A_u_long samples;
};

const SoundAsk kSoundAsks[] = {{0, 1, 2000}, {50, 100, 4800}, {51, 100, 1},
                               {3, 1, 100},  {-1, 10, 700},   {1, 0, 64}};

// Draws one frame; the frame buffer's rows are padded so writes past a row
// show. Returns the picture for callers that look at it.
std::vector<uint8_t> DrawChecked(PluginSession& s, AEIO_InSpecH spec, A_Time time, A_long width,
                                 A_long height) {
  standin::World world(width, height, width * 4 + 8);
  EXPECT_EQ(s.host.DrawFrame(spec, time, world), A_Err_NONE)
      << "at " << time.value << "/" << time.scale;
  EXPECT_TRUE(world.GuardsIntact()) << "at " << time.value << "/" << time.scale;
  // A picture or black: either way every pixel is written.
  EXPECT_EQ(world.UntouchedPixels(), 0u) << "at " << time.value << "/" << time.scale;
  return world.Pixels();
}

void SoundChecked(PluginSession& s, AEIO_InSpecH spec, const SoundAsk& ask) {
  constexpr size_t kGuard = 32;
  const float guard = -77.25f;
  const float unwritten = std::numeric_limits<float>::quiet_NaN();
  std::vector<float> buffer(kGuard + ask.samples * 2 + kGuard, guard);
  std::fill(buffer.begin() + kGuard, buffer.end() - kGuard, unwritten);
  EXPECT_EQ(
      s.host.GetSound(spec, A_Time{ask.value, ask.scale}, 0, ask.samples, buffer.data() + kGuard),
      A_Err_NONE)
      << "at " << ask.value << "/" << ask.scale;
  size_t bad_guard = 0, bad_sample = 0, untouched = 0;
  for (size_t i = 0; i < buffer.size(); ++i) {
    const bool in_guard = i < kGuard || i >= buffer.size() - kGuard;
    if (in_guard && buffer[i] != guard) ++bad_guard;
    if (!in_guard && std::isnan(buffer[i])) ++untouched;
    // Sound or silence: finite, and no louder than a lossy decoder's overshoot.
    if (!in_guard && !(std::isfinite(buffer[i]) && std::fabs(buffer[i]) <= 4.0f)) ++bad_sample;
  }
  EXPECT_EQ(bad_guard, 0u) << "sound written outside its buffer at " << ask.value;
  // A record that does not know the sound format it told the host (a
  // reopen whose file is gone) writes nothing; otherwise all of it is written.
  if (untouched != size_t{ask.samples} * 2) {
    EXPECT_EQ(bad_sample, 0u) << "unwritten or wild samples at " << ask.value << "/" << ask.scale;
  }
}

// Every frame and sound request of the tables, frames again after sound has
// moved the shared demuxer.
void AskEverything(PluginSession& s, AEIO_InSpecH spec) {
  const standin::Told& told = s.host.TellsFor(spec);
  A_long own_w = 64, own_h = 48;
  if (told.dimensions && told.dimensions->first > 0 && told.dimensions->first <= 2048 &&
      told.dimensions->second > 0 && told.dimensions->second <= 2048) {
    own_w = told.dimensions->first;
    own_h = told.dimensions->second;
  }
  auto frames = [&] {
    for (const FrameAsk& ask : kFrameAsks) {
      DrawChecked(s, spec, A_Time{ask.value, ask.scale}, ask.width ? ask.width : own_w,
                  ask.width ? ask.height : own_h);
    }
  };
  frames();
  for (const SoundAsk& ask : kSoundAsks) SoundChecked(s, spec, ask);
  frames();
}

// Saves the item and opens the block into a second item, which must answer
// requests as well; both are disposed.
constexpr A_Err kOpensOrNot = -1;  // inflate may answer 0 or 2

void SaveReopen(PluginSession& s, AEIO_InSpecH spec, A_Err expected_inflate = A_Err_NONE) {
  AEIO_Handle flat = nullptr;
  ASSERT_EQ(s.host.Flatten(spec, &flat), A_Err_NONE);
  ASSERT_NE(flat, nullptr);
  AEIO_InSpecH again = s.host.NewInSpec();
  const A_Err inflate_err = s.host.Inflate(again, flat);
  if (expected_inflate == kOpensOrNot) {
    EXPECT_TRUE(inflate_err == A_Err_NONE || inflate_err == A_Err_STRUCT) << inflate_err;
  } else {
    EXPECT_EQ(inflate_err, expected_inflate);
  }
  s.host.FreeHandle(static_cast<AEGP_MemHandle>(flat));
  DrawChecked(s, again, A_Time{1, 25}, 40, 30);
  SoundChecked(s, again, SoundAsk{0, 1, 500});
  EXPECT_EQ(s.Close(again), A_Err_NONE);
}

// Import answers 0 or 2; an imported item answers every request and survives
// saving and reopening; nothing is left behind. Returns the import's result.
A_Err ImportAndExercise(const std::string& path) {
  PluginSession s;
  EXPECT_TRUE(s.ready()) << s.error;
  if (!s.ready()) return -1;
  A_Err err = -1;
  AEIO_InSpecH spec = s.ImportPath(path, &err);
  EXPECT_TRUE(err == A_Err_NONE || err == A_Err_STRUCT) << "import answered " << err;
  if (err == A_Err_NONE) {
    AskEverything(s, spec);
    // The file may have been damaged in a way that only the reopen notices.
    AEIO_Handle flat = nullptr;
    EXPECT_EQ(s.host.Flatten(spec, &flat), A_Err_NONE);
    if (flat != nullptr) {
      AEIO_InSpecH again = s.host.NewInSpec();
      const A_Err inflate_err = s.host.Inflate(again, flat);
      EXPECT_TRUE(inflate_err == A_Err_NONE || inflate_err == A_Err_STRUCT) << inflate_err;
      s.host.FreeHandle(static_cast<AEGP_MemHandle>(flat));
      DrawChecked(s, again, A_Time{2, 25}, 40, 30);
      SoundChecked(s, again, SoundAsk{0, 1, 300});
      EXPECT_EQ(s.Close(again), A_Err_NONE);
    }
    EXPECT_EQ(s.Close(spec), A_Err_NONE);
  } else {
    s.host.DeleteInSpec(spec);
  }
  EXPECT_TRUE(s.Clean());
  return err;
}

// ---- damaged copies of every test format

struct Damage {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> apply;
};

void Cut(std::vector<uint8_t>& bytes, size_t keep) { bytes.resize(std::min(bytes.size(), keep)); }

// Flips `count` bits at offsets drawn from [from, to) of the file (fractions
// of its length) with a fixed seed, so a failure repeats.
void FlipBits(std::vector<uint8_t>& bytes, unsigned seed, int count, double from, double to) {
  if (bytes.empty()) return;
  std::mt19937 random(seed);
  const size_t lo = static_cast<size_t>(from * static_cast<double>(bytes.size()));
  const size_t hi = std::max(lo + 1, static_cast<size_t>(to * static_cast<double>(bytes.size())));
  std::uniform_int_distribution<size_t> offset(lo, std::min(hi, bytes.size()) - 1);
  for (int i = 0; i < count; ++i)
    bytes[offset(random)] ^= static_cast<uint8_t>(1u << (random() % 8));
}

const Damage kDamages[] = {
    {"cut_at_64", [](auto& b) { Cut(b, 64); }},
    {"cut_at_1k", [](auto& b) { Cut(b, 1024); }},
    {"cut_in_middle", [](auto& b) { Cut(b, b.size() / 2); }},
    {"cut_before_end", [](auto& b) { Cut(b, b.size() - b.size() / 20); }},
    {"flips_in_header_seed1", [](auto& b) { FlipBits(b, 1, 6, 0.0, 0.02); }},
    {"flips_in_header_seed2", [](auto& b) { FlipBits(b, 2, 6, 0.0, 0.02); }},
    {"flips_in_middle_seed3", [](auto& b) { FlipBits(b, 3, 24, 0.45, 0.55); }},
    {"flips_everywhere_seed4", [](auto& b) { FlipBits(b, 4, 48, 0.0, 1.0); }},
    {"flips_everywhere_seed5", [](auto& b) { FlipBits(b, 5, 200, 0.0, 1.0); }},
    {"flips_at_end_seed6", [](auto& b) { FlipBits(b, 6, 16, 0.9, 1.0); }},
};

class DamagedClip : public ::testing::TestWithParam<const char*> {};

TEST_P(DamagedClip, EveryDamageIsAnsweredSafely) {
  const std::vector<uint8_t> original = ReadBytes(MediaPath(GetParam()));
  ASSERT_FALSE(original.empty()) << GetParam();
  TempCwd cwd;
  const std::string ext = fs::path(GetParam()).extension().string();
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.name);
    std::vector<uint8_t> bytes = original;
    damage.apply(bytes);
    const fs::path path = cwd.dir() / (std::string(damage.name) + ext);
    WriteBytes(path, bytes);
    const A_Err err = ImportAndExercise(path.string());
    std::printf("%-16s %-24s import %d\n", GetParam(), damage.name, err);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DamagedClip,
                         ::testing::Values("h264_aac.mkv", "h264_mp3.flv", "h264_aac.flv",
                                           "hevc.mkv", "vp9_opus.mkv", "mpeg4.mkv",
                                           "mjpeg_full.mkv", "two_streams.mkv", "pcm_s16_48k.mkv",
                                           "flac_44k.mkv", "aac_48k.mkv", "mp3_44k.mkv",
                                           "ac3_51.mkv", "opus_48k.mkv", "vorbis_44k.mkv",
                                           "aac_44k.flv", "mp3_22k.flv", "no_duration.mkv",
                                           "killed_h264_pcm.mkv", "killed_h264_aac.flv"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// ---- files that are not media at all

TEST(HostileFiles, NonMediaIsRefusedWithTwoAndLeavesNothing) {
  TempCwd cwd;
  fs::create_directories(cwd.dir() / "a folder.mkv");
  const std::string cases[] = {MediaPath("empty.mkv"), MediaPath("not_media.mkv"),
                               MediaPath("header_cut.mkv"), MediaPath("killed_header.flv"),
                               // nothing usable: subtitles, an attachment, a picture
                               // stream faster than 1000 frames a second
                               MediaPath("subtitles.mkv"), MediaPath("attachment_only.mkv"),
                               MediaPath("rate_over_1000_only.mkv"),
                               (cwd.dir() / "a folder.mkv").string(),
                               (cwd.dir() / "no such file.mkv").string(), "/dev/null",
                               // not files: a listening socket would wait for ever
                               "udplite:#clip.mkv", "udp://127.0.0.1:9?timeout=-1#x.mkv",
                               "tcp://127.0.0.1:9?listen=1#x.mkv"};
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(ImportAndExercise(path), A_Err_STRUCT);
  }
}

// ---- the file changes under an imported item

struct Change {
  const char* name;
  std::function<void(const fs::path&)> apply;
};

const Change kChanges[] = {
    {"removed", [](const fs::path& p) { fs::remove(p); }},
    {"shrunk_to_a_tenth", [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) / 10); }},
    {"shrunk_to_nothing", [](const fs::path& p) { fs::resize_file(p, 0); }},
    {"overwritten_with_text",
     [](const fs::path& p) { WriteBytes(p, std::vector<uint8_t>(5000, 'x')); }},
};

TEST(HostileFiles, FileChangedAfterImport) {
  for (const char* clip : {"h264_aac.mkv", "h264_mp3.flv", "vorbis_44k.mkv"}) {
    for (const Change& change : kChanges) {
      SCOPED_TRACE(std::string(clip) + " " + change.name);
      TempCwd cwd;
      const fs::path path = cwd.dir() / (std::string("moving ") + clip);
      fs::copy_file(MediaPath(clip), path);
      PluginSession s;
      ASSERT_TRUE(s.ready()) << s.error;
      A_Err err = -1;
      AEIO_InSpecH spec = s.ImportPath(path.string(), &err);
      ASSERT_EQ(err, A_Err_NONE);
      DrawChecked(s, spec, A_Time{0, 1}, 32, 24);  // the decoder has started
      change.apply(path);
      AskEverything(s, spec);
      // Reopening a project whose file is gone or broken: 2, and the item
      // still answers with black and silence.
      const bool gone = !fs::exists(path) || fs::file_size(path) == 0 ||
                        std::string(change.name) == "overwritten_with_text";
      SaveReopen(s, spec, gone ? A_Err_STRUCT : kOpensOrNot);
      EXPECT_EQ(s.Close(spec), A_Err_NONE);
      EXPECT_TRUE(s.Clean());
    }
  }
}

// ---- stream values no sane file has, patched into the record and what the
// probe found, before the first request opens the item's readers.
// Only values FFmpeg itself leaves alone after the open: its demuxer divides by
// the streams' time bases, so a zero there would fault inside FFmpeg.

struct Patch {
  const char* name;
  std::function<void(FootageOptions&)> apply;
};

const Patch kPatches[] = {
    {"frame_rate_0_0",
     [](FootageOptions& r) {
       r.item->video_facts.frame_rate = {0, 0};
     }},
    {"frame_rate_1_0",
     [](FootageOptions& r) {
       r.item->video_facts.frame_rate = {1, 0};
     }},
    {"frame_rate_negative",
     [](FootageOptions& r) {
       r.item->video_facts.frame_rate = {-25, 1};
     }},
    {"frame_rate_tiny",
     [](FootageOptions& r) {
       r.item->video_facts.frame_rate = {1, 0x7fffffff};
     }},
    {"start_time_unset",
     [](FootageOptions& r) {
       r.item->video_facts.start_time = AV_NOPTS_VALUE;
       r.item->sound_facts.start_time = AV_NOPTS_VALUE;
     }},
    {"start_time_most_negative",
     [](FootageOptions& r) {
       r.item->video_facts.start_time = INT64_MIN + 1;
       r.item->sound_facts.start_time = INT64_MIN + 1;
     }},
    {"start_time_most_positive",
     [](FootageOptions& r) {
       r.item->video_facts.start_time = INT64_MAX;
       r.item->sound_facts.start_time = INT64_MAX;
     }},
    {"sound_rate_0", [](FootageOptions& r) { r.sound_rate = 0; }},
    {"sound_rate_negative", [](FootageOptions& r) { r.sound_rate = -48000; }},
    {"sound_rate_huge", [](FootageOptions& r) { r.sound_rate = 1e300; }},
    {"sound_rate_nan", [](FootageOptions& r) { r.sound_rate = std::nan(""); }},
    {"sound_rate_largest", [](FootageOptions& r) { r.sound_rate = INT32_MAX; }},
    // The timeline's origin far out, or in a time base that is no time base.
    {"origin_most_negative",
     [](FootageOptions& r) {
       r.origin = {INT64_MIN + 1, 1, 1000};
     }},
    {"origin_most_positive",
     [](FootageOptions& r) {
       r.origin = {INT64_MAX, 1, 1};
     }},
    {"origin_tiny_time_base",
     [](FootageOptions& r) {
       r.origin = {INT64_MAX, 1, INT32_MAX};
     }},
    {"origin_negative_time_base",
     [](FootageOptions& r) {
       r.origin = {1000, -1, 1000};
     }},
    {"audio_layout_unknown",
     [](FootageOptions& r) {
       av_channel_layout_uninit(&r.item->sound_facts.params->ch_layout);
       r.item->sound_facts.params->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
       r.item->sound_facts.params->ch_layout.nb_channels = 2;
     }},
    {"audio_channels_0",
     [](FootageOptions& r) {
       av_channel_layout_uninit(&r.item->sound_facts.params->ch_layout);
       r.item->sound_facts.params->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
       r.item->sound_facts.params->ch_layout.nb_channels = 0;
     }},
};

TEST(HostileStreams, PatchedStreamValuesGiveBlackOrSilenceNotHarm) {
  TempCwd cwd;
  for (const Patch& patch : kPatches) {
    SCOPED_TRACE(patch.name);
    PluginSession s;
    ASSERT_TRUE(s.ready()) << s.error;
    A_Err err = -1;
    AEIO_InSpecH spec = s.Import("h264_aac.mkv", &err);
    ASSERT_EQ(err, A_Err_NONE);
    FootageOptions* record = s.Record(spec);
    ASSERT_NE(record, nullptr);
    // The probe's facts: what the item's readers open with on first use.
    ASSERT_NE(record->item, nullptr);
    ASSERT_GE(record->item->video_facts.index, 0);
    ASSERT_NE(record->item->sound_facts.params, nullptr);
    patch.apply(*record);
    AskEverything(s, spec);
    EXPECT_EQ(s.Close(spec), A_Err_NONE);
    EXPECT_TRUE(s.Clean());
  }
}

// ---- files ffmpeg can write with awkward streams

struct MadeClip {
  const char* name;
  const char* args;
};

const MadeClip kMadeClips[] = {
    // Timestamps that wrap in MPEG-TS, so the start is negative.
    {"negative_start.mkv",
     "-f lavfi -i testsrc2=s=64x48:d=0.6:r=25 -f lavfi -i sine=f=440:d=0.6 -c:v mpeg2video "
     "-c:a mp2 -copyts -output_ts_offset 95443.5 -muxdelay 0 -f mpegts"},
    // Raw elementary streams: no container timestamps at all.
    {"raw_h264.mkv", "-f lavfi -i testsrc2=s=64x48:d=0.6:r=25 -c:v libx264 -bf 2 -f h264"},
    {"raw_adts.mkv", "-f lavfi -i sine=f=440:d=0.6 -c:a aac -f adts"},
    {"raw_mp3.mkv", "-f lavfi -i sine=f=440:d=0.6 -c:a libmp3lame -f mp3"},
    // Extreme shapes for the point scaler.
    {"two_by_two.mkv", "-f lavfi -i testsrc2=s=64x48:d=0.2:r=25 -vf scale=2:2 -c:v ffv1"},
    {"wide_strip.mkv", "-f lavfi -i testsrc2=s=64x48:d=0.2:r=25 -vf scale=4000:2 -c:v ffv1"},
    {"tall_strip.mkv", "-f lavfi -i testsrc2=s=64x48:d=0.2:r=25 -vf scale=2:3000 -c:v ffv1"},
    // A very slow and a very fast frame rate.
    {"slow_rate.mkv", "-f lavfi -i testsrc2=s=64x48:d=4:r=1/2 -c:v mpeg4"},
    {"rate_900.mkv", "-f lavfi -i testsrc2=s=64x48:d=0.2:r=900 -c:v mpeg4"},
    // Sound only, odd layouts.
    {"mono_8k.mkv", "-f lavfi -i sine=f=440:d=0.5:sample_rate=8000 -c:a pcm_s16le"},
    {"seven_channels.mkv",
     "-f lavfi -i sine=f=440:d=0.5 -af 'pan=6.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0|c6=c0' "
     "-c:a pcm_s16le"},
};

TEST(HostileStreams, AwkwardStreamsFfmpegCanWrite) {
  TempCwd cwd;
  for (const MadeClip& clip : kMadeClips) {
    SCOPED_TRACE(clip.name);
    const std::string path = GeneratedClip(clip.name, clip.args);
    ASSERT_FALSE(path.empty()) << "ffmpeg could not make " << clip.name;
    EXPECT_EQ(ImportAndExercise(path), A_Err_NONE);
  }
}

// A picture whose size changes mid-stream: frames after the change must not
// be converted with the first size's buffers.
TEST(HostileStreams, PictureSizeChangesMidStream) {
  TempCwd cwd;
  for (const auto& [first, second] : {std::pair{"160x120", "640x480"}, {"640x480", "96x64"}}) {
    const std::string tag = std::string(first) + "_then_" + second;
    SCOPED_TRACE(tag);
    std::string parts;
    for (const char* size : {first, second}) {
      const std::string part = GeneratedClip(std::string("part_") + size + ".ts",
                                             std::string("-f lavfi -i testsrc2=s=") + size +
                                                 ":d=0.4:r=25 -c:v libx264 -bf 0 -g 5 -f mpegts");
      ASSERT_FALSE(part.empty());
      parts += (parts.empty() ? "" : "|") + part;
    }
    const std::string joined =
        GeneratedClip("size_change_" + tag + ".mkv", "-i 'concat:" + parts + "' -c copy");
    ASSERT_FALSE(joined.empty());
    PluginSession s;
    ASSERT_TRUE(s.ready()) << s.error;
    A_Err err = -1;
    AEIO_InSpecH spec = s.ImportPath(joined, &err);
    ASSERT_EQ(err, A_Err_NONE);
    const auto dims = s.host.TellsFor(spec).dimensions;
    ASSERT_TRUE(dims.has_value());
    // Every frame in playing order at the announced size, then seeks across.
    for (int frame = 0; frame < 20; ++frame) {
      DrawChecked(s, spec, A_Time{frame, 25}, dims->first, dims->second);
    }
    for (int frame : {15, 2, 18, 9}) DrawChecked(s, spec, A_Time{frame, 25}, 33, 21);
    EXPECT_EQ(s.Close(spec), A_Err_NONE);
    EXPECT_TRUE(s.Clean());
  }
}

// ---- paths

TEST(HostilePaths, SpacesAndNonAsciiSurviveImportSaveAndReopen) {
  TempCwd cwd;
  const fs::path dir = cwd.dir() / "dossier avec espaces \xc3\xa9t\xc3\xa9";
  fs::create_directories(dir);
  const fs::path path = dir / "\xe6\x97\xa5\xe6\x9c\xac \xe2\x98\x83 clip #1 %d.mkv";
  // Picture only: footage frame N is picture N.
  fs::copy_file(MediaPath("silent.mkv"), path);
  PluginSession s;
  ASSERT_TRUE(s.ready()) << s.error;
  A_Err err = -1;
  AEIO_InSpecH spec = s.ImportPath(path.string(), &err);
  ASSERT_EQ(err, A_Err_NONE);
  auto frame_at = [&](AEIO_InSpecH item, int frame) {
    const auto pixels = DrawChecked(s, item, A_Time{frame, 25}, 320, 240);
    return zarn_test::FrameNumberFromArgb(pixels.data(), 320, 240, 320 * 4);
  };
  EXPECT_EQ(frame_at(spec, 7), 7);
  AEIO_Handle flat = nullptr;
  ASSERT_EQ(s.host.Flatten(spec, &flat), A_Err_NONE);
  const auto block = s.host.HandleBytes(static_cast<AEGP_MemHandle>(flat));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data())), path.string());
  AEIO_InSpecH again = s.host.NewInSpec();
  EXPECT_EQ(s.host.Inflate(again, flat), A_Err_NONE);
  s.host.FreeHandle(static_cast<AEGP_MemHandle>(flat));
  EXPECT_EQ(frame_at(again, 12), 12);
  EXPECT_EQ(s.Close(again), A_Err_NONE);
  EXPECT_EQ(s.Close(spec), A_Err_NONE);
  EXPECT_TRUE(s.Clean());
}

// ---- project blocks that this plug-in never wrote

std::vector<uint8_t> Block(const std::string& text, size_t size = 1024) {
  std::vector<uint8_t> bytes(size, 0);
  std::copy_n(text.begin(), std::min(text.size(), size), bytes.begin());
  return bytes;
}

std::vector<uint8_t> RandomBlock(unsigned seed, size_t size) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 255 + 1);  // no 0 byte
  if (seed % 2 == 0) bytes[size / 2] = 0;                                 // half have one
  return bytes;
}

TEST(HostileBlocks, GarbageBlocksNeverHarmTheHost) {
  TempCwd cwd;
  fs::create_directories(cwd.dir() / "folder");
  WriteBytes(cwd.dir() / "empty file.mkv", {});
  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"random_seed1", RandomBlock(1, 1024)},
      {"random_seed2", RandomBlock(2, 1024)},
      {"random_seed3", RandomBlock(3, 1024)},
      {"random_seed4", RandomBlock(4, 1024)},
      {"no_zero", std::vector<uint8_t>(1024, 'a')},
      {"empty_path", Block("")},
      {"folder", Block("folder")},
      {"empty_file", Block("empty file.mkv")},
      {"device", Block("/dev/zero")},
      {"larger_block", Block(MediaPath("h264_aac.mkv"), 4096)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PluginSession s;
    ASSERT_TRUE(s.ready()) << s.error;
    const AEGP_MemHandle block = s.host.NewHandle("project block", c.bytes);
    AEIO_InSpecH spec = s.host.NewInSpec();
    const A_Err err = s.host.Inflate(spec, block);
    EXPECT_TRUE(err == A_Err_NONE || err == A_Err_STRUCT || err == A_Err_PARAMETER) << err;
    EXPECT_EQ(s.host.HandleBytes(block), c.bytes) << "inflate wrote into the host's block";
    s.host.FreeHandle(block);
    if (s.host.OptionsHandle(spec) != nullptr) {
      AskEverything(s, spec);
      EXPECT_EQ(s.Close(spec), A_Err_NONE);
    } else {
      s.host.DeleteInSpec(spec);
    }
    EXPECT_TRUE(s.Clean());
  }
}

// A damaged project can hand over a block shorter than 1024 bytes. Reading it
// for its path must stop at the handle's end (the sanitizer build sees a
// read past it); without a 0 inside the handle there is no path.
TEST(HostileBlocks, ShortBlockIsReadNoFurtherThanItsEnd) {
  TempCwd cwd;
  for (size_t size : {size_t{0}, size_t{1}, size_t{16}, size_t{1023}}) {
    SCOPED_TRACE(size);
    PluginSession s;
    ASSERT_TRUE(s.ready()) << s.error;
    const AEGP_MemHandle block = s.host.NewHandle("short block", std::vector<uint8_t>(size, 'q'));
    AEIO_InSpecH spec = s.host.NewInSpec();
    const A_Err err = s.host.Inflate(spec, block);
    EXPECT_NE(err, A_Err_NONE) << "a block without its path's end was taken";
    s.host.FreeHandle(block);
    if (s.host.OptionsHandle(spec) != nullptr) {
      EXPECT_EQ(s.Close(spec), A_Err_NONE);
    } else {
      s.host.DeleteInSpec(spec);
    }
    EXPECT_TRUE(s.Clean());
  }
}

}  // namespace
