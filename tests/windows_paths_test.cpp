// Footage on paths with non-ASCII characters, as users name their folders:
// the UTF-16 path the host passes must reach FFmpeg as the same file, the
// flattened block must reopen it, and on Windows a block written by an older
// version in the OEM code page must still open. Runs on every platform; the
// OEM cases only where there are OEM code pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "footage/footage_options.h"
#include "host/standin_host.h"
#include "platform/host_path.h"
#include "platform/trace_path.h"
#include "support/paths.h"
#include "support/plugin_session.h"
#include "support/reference_audio.h"

namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A fresh folder under the temporary directory, removed afterwards.
class NonAsciiFolder {
 public:
  explicit NonAsciiFolder(const std::u8string& name) {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() / fs::path(name + u8"-" +
                                                 std::u8string(reinterpret_cast<const char8_t*>(
                                                     std::to_string(tick).c_str())));
    fs::create_directories(dir_);
  }
  ~NonAsciiFolder() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  // Copies a generated clip in under `name`; returns its UTF-8 path.
  std::string Copy(const std::string& clip, const std::u8string& name) const {
    const fs::path target = dir_ / fs::path(name);
    fs::copy_file(fs::path(zarn_test::MediaPath(clip)), target);
    return Utf8(target);
  }
  const fs::path& dir() const { return dir_; }

 private:
  fs::path dir_;
};

// What a person checks after importing: the picture at one time and a
// stretch of sound.
struct Played {
  A_Err frame_result = -1;
  A_Err sound_result = -1;
  std::vector<uint8_t> pixels;
  std::vector<float> sound;
};

constexpr A_long kWidth = 320;
constexpr A_long kHeight = 240;
constexpr A_u_long kSamples = 4800;  // 0.1 s at 48 kHz

Played Play(zarn_test::PluginSession& session, AEIO_InSpecH spec) {
  Played played;
  standin::World world(kWidth, kHeight);
  played.frame_result = session.host.DrawFrame(spec, A_Time{1, 1}, world);
  played.pixels = world.Pixels();
  EXPECT_TRUE(world.GuardsIntact());
  played.sound.assign(size_t{kSamples} * 2, -9.0f);
  played.sound_result = session.host.GetSound(spec, A_Time{24000, 48000}, 24000, kSamples,
                                              played.sound.data());
  return played;
}

class NonAsciiPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ready()) << session_.error;
    A_Err result = -1;
    AEIO_InSpecH plain = session_.Import(kClip, &result);
    ASSERT_EQ(result, A_Err_NONE);
    expected_ = Play(session_, plain);
    ASSERT_EQ(expected_.frame_result, A_Err_NONE);
    ASSERT_EQ(expected_.sound_result, A_Err_NONE);
    // A blank picture or silence would make every comparison below vacuous.
    ASSERT_GT(std::count_if(expected_.pixels.begin(), expected_.pixels.end(),
                            [&](uint8_t v) { return v != expected_.pixels[1]; }),
              kWidth * kHeight);
    ASSERT_GT(std::count_if(expected_.sound.begin(), expected_.sound.end(),
                            [](float v) { return v != 0.0f; }) * 2,
              static_cast<std::ptrdiff_t>(expected_.sound.size()));
    EXPECT_EQ(session_.Close(plain), A_Err_NONE);
  }

  // The same picture and sound as the ASCII-named original, and sound that
  // is the reference decode's.
  void ExpectPlaysLikeTheOriginal(AEIO_InSpecH spec) {
    const Played played = Play(session_, spec);
    EXPECT_EQ(played.frame_result, A_Err_NONE);
    EXPECT_EQ(played.sound_result, A_Err_NONE);
    EXPECT_TRUE(played.pixels == expected_.pixels) << "a different picture";
    EXPECT_TRUE(played.sound == expected_.sound) << "different sound";
  }

  static constexpr const char* kClip = "h264_aac.mkv";
  zarn_test::PluginSession session_;
  Played expected_;
};

TEST_F(NonAsciiPaths, OriginalPlaysTheReferenceSound) {
  const zarn_test::ReferenceAudio ref =
      zarn_test::DecodeReferenceAudio(zarn_test::MediaPath(kClip));
  ASSERT_TRUE(ref.ok);
  ASSERT_EQ(ref.rate, 48000);
  const std::vector<float> want = ref.Expected(24000, kSamples);
  const zarn_test::Difference diff = zarn_test::CompareSamples(expected_.sound, want);
  EXPECT_LT(diff.largest, 1e-4) << "at sample " << diff.at;
}

TEST_F(NonAsciiPaths, ImportAndPlay) {
  struct Case {
    const char* what;
    std::u8string folder;
    std::u8string file;
  };
  const Case cases[] = {
      {"accented", u8"zarn-caf\u00e9", u8"d\u00e9j\u00e0 vu.mkv"},
      {"chinese", u8"zarn-\u4e2d\u6587", u8"\u7247\u6bb5.mkv"},
      {"outside the BMP", u8"zarn-\U0001F3AC", u8"clip \U0001F600.mkv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NonAsciiFolder folder(c.folder);
    const std::string path = folder.Copy(kClip, c.file);
    A_Err result = -1;
    AEIO_InSpecH spec = session_.ImportPath(path, &result);
    ASSERT_EQ(result, A_Err_NONE) << path;
    const standin::Told& told = session_.host.TellsFor(spec);
    ASSERT_TRUE(told.dimensions.has_value());
    EXPECT_EQ(told.dimensions->first, kWidth);
    EXPECT_EQ(told.dimensions->second, kHeight);
    ExpectPlaysLikeTheOriginal(spec);
    EXPECT_EQ(session_.Close(spec), A_Err_NONE);
  }
  EXPECT_TRUE(session_.Clean());
}

// Saving and reopening the project: the block holds the path as UTF-8 and
// the reopened footage is the same file.
TEST_F(NonAsciiPaths, FlattenedPathReopens) {
  NonAsciiFolder folder(u8"zarn-\u00e9\u4e2d");
  const std::string path = folder.Copy(kClip, u8"\u00e9\u4e2d\u6587.mkv");
  A_Err result = -1;
  AEIO_InSpecH spec = session_.ImportPath(path, &result);
  ASSERT_EQ(result, A_Err_NONE);
  AEIO_Handle flat = nullptr;
  ASSERT_EQ(session_.host.Flatten(spec, &flat), A_Err_NONE);
  const auto handle = reinterpret_cast<AEGP_MemHandle>(flat);
  const std::vector<uint8_t> block = session_.host.HandleBytes(handle);
  ASSERT_EQ(block.size(), 1024u);
  ASSERT_LT(path.size(), block.size());
  EXPECT_EQ(std::memcmp(block.data(), path.data(), path.size()), 0) << "not the UTF-8 path";
  EXPECT_EQ(block[path.size()], 0);
  EXPECT_EQ(session_.Close(spec), A_Err_NONE);

  AEIO_InSpecH reopened = session_.host.NewInSpec();
  ASSERT_EQ(session_.host.Inflate(reopened, flat), A_Err_NONE);
  session_.host.FreeHandle(handle);
  ExpectPlaysLikeTheOriginal(reopened);
  EXPECT_EQ(session_.Close(reopened), A_Err_NONE);
  EXPECT_TRUE(session_.Clean());
}

#ifdef _WIN32

// The path in this machine's OEM code page, or empty when a character has
// no OEM form.
std::string OemBytes(const std::wstring& path) {
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_OEMCP, 0, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return {};
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, path.c_str(), -1, bytes.data(), n, nullptr, &lossy);
  bytes.pop_back();
  return lossy ? std::string{} : bytes;
}

// An older project kept the path in the OEM code page: inflate converts it
// instead of failing to find the file.
TEST_F(NonAsciiPaths, OemCodedBlockFromAnOlderProjectReopens) {
  NonAsciiFolder folder(u8"zarn-oem-\u00e9");
  const std::string path = folder.Copy(kClip, u8"caf\u00e9.mkv");
  const std::string oem = OemBytes((folder.dir() / fs::path(u8"caf\u00e9.mkv")).wstring());
  if (oem.empty()) GTEST_SKIP() << "this OEM code page (" << GetOEMCP() << ") has no \u00e9";
  ASSERT_NE(oem, path) << "OEM bytes equal UTF-8: nothing to convert";

  std::vector<uint8_t> block(1024, 0);
  std::memcpy(block.data(), oem.data(), oem.size());
  const AEGP_MemHandle flat = session_.host.NewHandle("older project block", block);
  AEIO_InSpecH spec = session_.host.NewInSpec();
  ASSERT_EQ(session_.host.Inflate(spec, reinterpret_cast<AEIO_Handle>(flat)), A_Err_NONE);
  session_.host.FreeHandle(flat);
  ExpectPlaysLikeTheOriginal(spec);
  EXPECT_EQ(session_.Close(spec), A_Err_NONE);
  EXPECT_TRUE(session_.Clean());
}

TEST(WindowsPlatform, FlattenedBlockConversion) {
  // 0x82 is e-acute in the Western OEM code pages (437, 850, 858).
  const UINT oem = GetOEMCP();
  const bool western = oem == 437 || oem == 850 || oem == 858;
  struct Case {
    const char* what;
    std::string bytes;
    std::string path;  // empty: only where the OEM code page is western
  };
  const std::vector<Case> cases = {
      {"ascii stays", std::string("C:\\m\\a.mkv\0", 11), "C:\\m\\a.mkv"},
      {"utf8 stays", std::string("C:\\caf\xC3\xA9\0", 9), "C:\\caf\xC3\xA9"},
      {"utf8 outside the BMP stays", "Z:\\\xF0\x9F\x98\x80", "Z:\\\xF0\x9F\x98\x80"},
      {"oem converted", std::string("C:\\caf\x82\0zz", 10), western ? "C:\\caf\xC3\xA9" : ""},
      {"oem without a zero", "D:\\\x82t\x82", western ? "D:\\\xC3\xA9t\xC3\xA9" : ""},
      {"utf8 cut in a sequence is oem", "C:\\\xC3", ""},
      {"encoded surrogate is not utf8", "C:\\\xED\xA0\x80", ""},
  };
  for (const Case& c : cases) {
    // Exactly sized: a read past the block would be outside the allocation.
    std::vector<char> block(c.bytes.begin(), c.bytes.end());
    const std::string got = NarrowPathFromFlattened(block.data(), block.size());
    if (!c.path.empty()) {
      EXPECT_EQ(got, c.path) << c.what;
    } else {
      // Whatever the code page, the result is valid UTF-8 text that FFmpeg
      // can hand to the wide file functions, and never the raw bytes.
      EXPECT_NE(got, std::string(c.bytes.c_str())) << c.what;
      EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, got.data(),
                                    static_cast<int>(got.size()), nullptr, 0),
                0)
          << c.what;
    }
  }
}

TEST(WindowsPlatform, TraceLogPathUsesBackslashes) {
  EXPECT_STREQ(TraceLogPath(), "Plug-ins\\zarn_plus\\zarn_importer_dialog.txt");
}

#endif  // _WIN32

}  // namespace
