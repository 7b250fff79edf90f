// End-to-end tests of the zarn-host command-line tool: what it prints and
// writes must be what the plug-in delivers to the stand-in host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/standin_host.h"
#include "tests/support/paths.h"

namespace fs = std::filesystem;
using zarn_test::MediaPath;

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ZarnHostTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zarn-host-test-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  ToolRun Run(const std::string& args) {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    const std::string command = "'" + zarn_test::ToolPath() + "' " + args + " >'" + out.string() +
                                "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
  }

  fs::path dir_;
};

// The plug-in driven in-process, for what the tool's output must equal.
struct Direct {
  standin::Host host;
  std::unique_ptr<standin::Module> module;
  AEIO_InSpecH spec = nullptr;

  explicit Direct(const std::string& file) {
    std::string error;
    module = standin::Module::Load(zarn_test::ModulePath(), &error);
    EXPECT_TRUE(module) << error;
    if (!module) return;
    EXPECT_EQ(host.Register(*module), A_Err_NONE);
    A_Err result = -1;
    spec = host.Import(file, &result);
    EXPECT_EQ(result, A_Err_NONE);
  }
  ~Direct() {
    if (spec != nullptr) host.Dispose(spec);
  }
};

bool OneLine(const std::string& text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

}  // namespace

TEST_F(ZarnHostTool, InfoPrintsWhatTheHostWasTold) {
  const std::string clip = MediaPath("h264_aac.mkv");
  const ToolRun run = Run("info '" + clip + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  Direct direct(clip);
  const standin::Told& told = direct.host.TellsFor(direct.spec);
  ASSERT_TRUE(told.size && told.duration && told.dimensions && told.native_fps && told.sound_rate);
  const std::string expected[] = {
      "\"result\":0",
      "\"size\":" + std::to_string(*told.size),
      "\"duration\":{\"value\":" + std::to_string(told.duration->value) +
          ",\"scale\":" + std::to_string(told.duration->scale) + "}",
      "\"depth\":32",
      "\"width\":" + std::to_string(told.dimensions->first),
      "\"height\":" + std::to_string(told.dimensions->second),
      "\"fps\":{\"fixed\":" + std::to_string(*told.native_fps),
      "\"alpha_label\":\"01 01 01 00 00 00 00 00 00 00\"",
      "\"interlace_label\":\"4C 45 49 46 01 00 00 00 00 00 01 00 00 00 00 00 00 00\"",
      "\"pixel_aspect\":{\"num\":1,\"den\":1}",
      "\"encoding\":3,\"sample_size\":4,\"channels\":2",
      "\"sound_tracks\":[\"No sound\",\"1  aac, 2 ch, 48000 Hz\"],\"sound_track\":1",
      "\"info\":[\"\",\"Zarn_Importer\",\"Imported by Zarn_Importer(ver1.0.7.Varnetholm)\"]",
  };
  for (const std::string& piece : expected)
    EXPECT_NE(run.out.find(piece), std::string::npos) << piece << "\n" << run.out;
  EXPECT_TRUE(OneLine(run.out)) << run.out;
}

TEST_F(ZarnHostTool, InfoLeavesOutWhatWasNotTold) {
  const ToolRun run = Run("info '" + MediaPath("ac3_51.mkv") + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* absent : {"\"width\"", "\"depth\"", "\"fps\"", "\"alpha_label\""}) {
    EXPECT_EQ(run.out.find(absent), std::string::npos) << absent;
  }
  EXPECT_NE(run.out.find("\"channels\":2"), std::string::npos) << run.out;
}

TEST_F(ZarnHostTool, FrameArgbBytesAreTheModulesDelivery) {
  const std::string clip = MediaPath("h264_aac.mkv");
  const fs::path out = dir_ / "frames";
  const ToolRun run =
      Run("frame '" + clip + "' --at 0/1,27/25,6/25 --size 160x120 --format argb --out '" +
          out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;

  Direct direct(clip);
  const A_Time times[] = {{0, 1}, {27, 25}, {6, 25}};
  for (int i = 0; i < 3; ++i) {
    standin::World world(160, 120);
    ASSERT_EQ(direct.host.DrawFrame(direct.spec, times[i], world), A_Err_NONE);
    const std::vector<uint8_t> pixels = world.Pixels();
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.argb", i);
    EXPECT_EQ(ReadFile(out / name), std::string(pixels.begin(), pixels.end())) << name;
  }
}

// Deep frames: 8 bytes a pixel, each channel little-endian; PNG at 16 bits.
TEST_F(ZarnHostTool, FrameDepth16WritesDeepPictures) {
  const std::string common = "frame '" + MediaPath("prores_4444.mkv") + "' --at 3/25 --depth 16 ";
  const fs::path argb = dir_ / "deep.argb";
  const fs::path png = dir_ / "deep.png";
  ASSERT_EQ(Run(common + "--size 96x64 --format argb --out '" + argb.string() + "'").status, 0);
  ASSERT_EQ(Run(common + "--out '" + png.string() + "'").status, 0);
  Direct direct(MediaPath("prores_4444.mkv"));
  standin::World world(96, 64, 0, standin::Depth::k16Bit);
  ASSERT_EQ(direct.host.DrawFrame(direct.spec, A_Time{3, 25}, world), A_Err_NONE);
  std::string expected;
  for (const uint16_t v : world.Pixels16()) expected += {char(v & 0xFF), char(v >> 8)};
  EXPECT_TRUE(ReadFile(argb) == expected);
  const std::string header = ReadFile(png).substr(0, 26);  // IHDR: bit depth 16, RGBA (6)
  EXPECT_EQ(header.substr(12, 4) + header.substr(24, 2), "IHDR\x10\x06");
}

TEST_F(ZarnHostTool, FramePngIsWritten) {
  const fs::path out = dir_ / "one.png";
  const ToolRun run =
      Run("frame '" + MediaPath("h264_aac.mkv") + "' --at 1/2 --out '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(out).substr(1, 3), "PNG");
}

TEST_F(ZarnHostTool, ChunkedSoundEqualsOneRequest) {
  const std::string clip = MediaPath("aac_48k.mkv");
  const fs::path whole = dir_ / "whole.f32";
  const fs::path chunked = dir_ / "chunked.f32";
  const std::string common = "sound '" + clip + "' --start 1001/30000 --samples 9000 --format f32";
  ASSERT_EQ(Run(common + " --out '" + whole.string() + "'").status, 0);
  const ToolRun run = Run(common + " --chunk 441 --out '" + chunked.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string a = ReadFile(whole);
  ASSERT_EQ(a.size(), 9000u * 8);
  EXPECT_TRUE(a == ReadFile(chunked));

  Direct direct(clip);
  std::vector<float> samples(9000 * 2);
  ASSERT_EQ(direct.host.GetSound(direct.spec, A_Time{1001, 30000}, 1602, 9000, samples.data()),
            A_Err_NONE);
  EXPECT_EQ(std::memcmp(a.data(), samples.data(), a.size()), 0);
}

// The track chosen through the options call is the one described and heard.
TEST_F(ZarnHostTool, SoundTrackChosenIsToldAndHeard) {
  const std::string clip = MediaPath("three_sound_tracks.mkv");
  const ToolRun options = Run("options '" + clip + "' --sound-track 3");
  ASSERT_EQ(options.status, 0) << options.err;
  for (const char* piece : {"\"user_interacted\":true", "\"rate\":22050", "\"sound_track\":3",
                            "\"Sound 3: Microphone\""}) {
    EXPECT_NE(options.out.find(piece), std::string::npos) << piece << "\n" << options.out;
  }
  const fs::path out = dir_ / "mic.f32";
  const ToolRun sound =
      Run("sound '" + clip + "' --sound-track 3 --start 0/1 --samples 4410 --format f32 --out '" +
          out.string() + "'");
  ASSERT_EQ(sound.status, 0) << sound.err;

  Direct direct(clip);
  direct.host.SetSoundTrackChooser([](const std::vector<std::string>&, A_long) {
    return standin::TrackAnswer{true, 3};
  });
  A_Boolean interacted = 0;
  ASSERT_EQ(direct.host.OptionsDialog(direct.spec, &interacted), A_Err_NONE);
  std::vector<float> samples(4410 * 2);
  ASSERT_EQ(direct.host.GetSound(direct.spec, A_Time{0, 1}, 0, 4410, samples.data()), A_Err_NONE);
  const std::string bytes = ReadFile(out);
  ASSERT_EQ(bytes.size(), samples.size() * sizeof(float));
  EXPECT_EQ(std::memcmp(bytes.data(), samples.data(), bytes.size()), 0);
}

TEST_F(ZarnHostTool, ErrorsGiveTheContractsStatusAndOneLine) {
  struct Case {
    std::string args;
    int status;
    const char* message;
  };
  const std::string missing = (dir_ / "no-such-file.mkv").string();
  const Case cases[] = {
      {"info '" + missing + "'", 1, "plug-in error 2"},
      {"info '" + MediaPath("not_media.mkv") + "'", 1, "plug-in error 2"},
      {"frame '" + MediaPath("h264_aac.mkv") + "' --at 1/0 --out x.png", 2, "bad time"},
      {"frame '" + MediaPath("h264_aac.mkv") + "' --out x.png", 2, "missing --at"},
      {"frame '" + MediaPath("h264_aac.mkv") + "' --at 0/1 --depth 12 --out x.png", 2,
       "--depth must be 8 or 16"},
      {"sound '" + MediaPath("h264_aac.mkv") + "' --start 0/1 --samples many --out x", 2,
       "bad --samples"},
      {"play", 2, "missing FILE"},
      {"options '" + MediaPath("three_sound_tracks.mkv") + "' --sound-track 4", 2,
       "--sound-track must be 0 (no sound) to 3"},
      {"play '" + MediaPath("silent.mkv") + "' --sound-track 1", 2, "no sound tracks"},
      {"info a b", 2, "unexpected argument"},
      {"frobnicate", 2, "unknown command"},
      {"info x --plugin '" + missing + "'", 1, "cannot load the plug-in"},
      {"play '" + MediaPath("h264_aac.mkv") + "' --sound --sound", 2, "given twice"},
      {"session '" + MediaPath("h264_aac.mkv") + "' --out x --script '" + missing + "'", 2,
       "cannot read the script"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
    EXPECT_TRUE(OneLine(run.err)) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
  }
}

TEST_F(ZarnHostTool, HelpOnTheToolAndEveryCommand) {
  for (const char* args : {"--help", "info --help", "frame --help", "sound --help", "play --help",
                           "session --help", "options --help", "demo --help"}) {
    const ToolRun run = Run(args);
    EXPECT_EQ(run.status, 0) << args;
    EXPECT_NE(run.out.find("usage: zarn-host"), std::string::npos) << args;
  }
}

TEST_F(ZarnHostTool, PlayReportsEveryFrame) {
  const ToolRun run = Run("play '" + MediaPath("h264_aac.mkv") + "' --size 64x48");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"frames\":75"), std::string::npos) << run.out;  // 3 s at 25 fps
}

TEST_F(ZarnHostTool, PlayWithSoundReversedReportsEveryFrame) {
  const ToolRun run =
      Run("play '" + MediaPath("h264_aac.mkv") + "' --size 64x48 --sound --reverse --frames 30");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"frames\":30"), std::string::npos) << run.out;
}

// Footage without sound answers sound requests with silence: exit 0.
TEST_F(ZarnHostTool, SoundOfFootageWithoutSoundIsSilence) {
  const fs::path out = dir_ / "silence.f32";
  const ToolRun run = Run("sound '" + MediaPath("silent.mkv") +
                          "' --start 0/1 --samples 100 --format f32 --out '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(out), std::string(800, '\0'));
}

// A session's files are what the same requests give when sent directly, in
// the same order to one item; a malformed line sends nothing.
TEST_F(ZarnHostTool, SessionReplaysItsScriptInOrder) {
  const std::string clip = MediaPath("h264_aac.mkv");
  const fs::path script = dir_ / "script.txt";
  std::ofstream(script) << "# picture and sound as the host interleaves them\n"
                           "frame 0/1\n\nsound 0/1 1920\nframe 1/25 64x48\n"
                           "sound 1920/48000 1920\nframe 0/1\n";
  const fs::path out = dir_ / "session";
  const ToolRun run = Run("session '" + clip + "' --format argb --script '" + script.string() +
                          "' --out '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 5) << run.out;
  EXPECT_NE(run.out.find("{\"n\":3,\"kind\":\"sound\",\"result\":0,\"ms\":"), std::string::npos)
      << run.out;

  Direct direct(clip);
  const auto frame = [&](A_Time at, int w, int h) {
    standin::World world(w, h);
    EXPECT_EQ(direct.host.DrawFrame(direct.spec, at, world), A_Err_NONE);
    const std::vector<uint8_t> pixels = world.Pixels();
    return std::string(pixels.begin(), pixels.end());
  };
  const auto sound = [&](A_Time at, A_u_long first, A_u_long n) {
    std::vector<float> samples(size_t{n} * 2);
    EXPECT_EQ(direct.host.GetSound(direct.spec, at, first, n, samples.data()), A_Err_NONE);
    return std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * 4);
  };
  EXPECT_TRUE(ReadFile(out / "0000-frame.argb") == frame({0, 1}, 320, 240));
  EXPECT_TRUE(ReadFile(out / "0001-sound.f32") == sound({0, 1}, 0, 1920));
  EXPECT_TRUE(ReadFile(out / "0002-frame.argb") == frame({1, 25}, 64, 48));
  EXPECT_TRUE(ReadFile(out / "0003-sound.f32") == sound({1920, 48000}, 1920, 1920));
  EXPECT_TRUE(ReadFile(out / "0004-frame.argb") == frame({0, 1}, 320, 240));

  std::ofstream(script) << "frame 0/1\nsound 0/1\n";
  const fs::path none = dir_ / "none";
  const ToolRun bad = Run("session '" + clip + "' --script '" + script.string() + "' --out '" +
                          none.string() + "'");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("script line 2"), std::string::npos) << bad.err;
  EXPECT_FALSE(fs::exists(none)) << "a request was sent before the script was read whole";
}

TEST_F(ZarnHostTool, DemoWritesItsFiles) {
  const ToolRun run = Run("demo --out '" + (dir_ / "demo").string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"sample.mkv", "description.json", "contact-sheet.png", "sound.wav",
                           "Plug-ins/zarn_plus/zarn_importer_dialog.txt"}) {
    EXPECT_GT(fs::file_size(dir_ / "demo" / name), 0u) << name;
  }
  EXPECT_NE(run.out.find("\"width\":640"), std::string::npos) << run.out;
}
