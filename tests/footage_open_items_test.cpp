// Items cost little while idle: nothing stays open after import, at most
// ZARN_OPEN_ITEMS items keep their files open, and the host can make an item
// let go of its file. None of it changes an answer: every picture and every
// stretch of sound stays the sequential decode's, and a file that has gone
// gives black and silence until it is back.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/env_setting.h"
#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/reference_audio.h"
#include "tests/support/reference_video.h"
#include "tests/support/temp_dir.h"

#ifdef __linux__
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using zarn_test::PluginSession;

const double kLossyLimit = std::pow(10.0, -90.0 / 20.0);

// Handles the process holds on `path` (Linux; -1 elsewhere, where renaming
// the file shows whether it is held).
int HandlesOn(const fs::path& path) {
#ifdef __linux__
  std::error_code error;
  const fs::path wanted = fs::canonical(path, error);
  if (error) return 0;
  int count = 0;
  for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
    std::error_code link_error;
    if (fs::read_symlink(fd.path(), link_error) == wanted && !link_error) ++count;
  }
  return count;
#else
  (void)path;
  return -1;
#endif
}

struct Footage {
  const char* clip;
  double sound_limit;  // < 0: no sound
};

// One item of a clip, with the clip's references.
struct Item {
  const Footage* footage;
  const zarn_test::ReferenceVideo* video;
  const zarn_test::ReferenceAudio* audio;
  AEIO_InSpecH spec = nullptr;
};

class OpenItems : public ::testing::Test {
 protected:
  // Asks `item` for a picture or a stretch of sound chosen by `rng`, and
  // checks the answer against the reference.
  void Ask(Item& item, std::mt19937& rng, const std::string& what) {
    if (item.footage->sound_limit < 0 || rng() % 2 == 0) {
      const zarn_test::ReferenceVideo& ref = *item.video;
      const A_Time at = ref.TimeOf(static_cast<int>(rng() % ref.pictures.size()));
      standin::World world(ref.width, ref.height);
      ASSERT_EQ(s_->host.DrawFrame(item.spec, at, world), A_Err_NONE) << what;
      EXPECT_TRUE(world.Pixels() == ref.pictures[static_cast<size_t>(ref.ExpectedIndex(at))].argb)
          << what << ": picture at " << at.value << "/" << at.scale;
    } else {
      const zarn_test::ReferenceAudio& ref = *item.audio;
      const auto first = static_cast<int64_t>(rng() % static_cast<uint32_t>(ref.frames() / 2));
      const auto count = static_cast<uint32_t>(1 + rng() % 3000);
      std::vector<float> got(size_t{count} * 2);
      ASSERT_EQ(s_->host.GetSound(
                    item.spec, A_Time{static_cast<A_long>(first), static_cast<A_u_long>(ref.rate)},
                    static_cast<A_u_long>(first), count, got.data()),
                A_Err_NONE)
          << what;
      EXPECT_LE(zarn_test::CompareSamples(got, ref.Expected(first, count)).largest,
                item.footage->sound_limit)
          << what << ": sound from " << first;
    }
  }

  // Renames a file the test owns; a file held open cannot be renamed on Windows.
  static void Move(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::rename(from, to, error);
    ASSERT_FALSE(error) << from << " -> " << to << ": " << error.message();
  }

  A_Err CloseSources(AEIO_InSpecH spec) {
    return s_->host.callbacks().AEIO_CloseSourceFiles(s_->host.BasicData(), spec);
  }

  std::unique_ptr<PluginSession> s_;
};

// Forty items, four of them open at a time, requests in random order: and
// the same with the host closing some item's files between requests.
TEST_F(OpenItems, FortyItemsWithFourOpenAnswerExactly) {
  const zarn_test::EnvSetting bound("ZARN_OPEN_ITEMS", "4");
  s_ = std::make_unique<PluginSession>();
  ASSERT_TRUE(s_->ready()) << s_->error;
  static const Footage kFootage[] = {{"sync_before.mkv", 0.0},
                                     {"h264_mp3.flv", kLossyLimit},
                                     {"long_gop_h264.mkv", -1},
                                     {"vp9_opus.mkv", kLossyLimit}};
  std::vector<zarn_test::ReferenceVideo> videos;
  std::vector<zarn_test::ReferenceAudio> audios;
  for (const Footage& f : kFootage) {
    videos.push_back(zarn_test::DecodeReference(zarn_test::MediaPath(f.clip)));
    audios.push_back(zarn_test::DecodeReferenceAudio(zarn_test::MediaPath(f.clip)));
    ASSERT_TRUE(videos.back().ok) << f.clip;
  }
  std::vector<Item> items;
  std::vector<fs::path> files;
  for (int i = 0; i < 40; ++i) {
    const size_t k = static_cast<size_t>(i) % std::size(kFootage);
    Item item{&kFootage[k], &videos[k], &audios[k]};
    A_Err err = -1;
    item.spec = s_->Import(item.footage->clip, &err);
    ASSERT_EQ(err, A_Err_NONE);
    items.push_back(item);
  }
  for (const Footage& f : kFootage) files.push_back(zarn_test::MediaPath(f.clip));
  const auto handles = [&] {
    int total = 0;
    for (const fs::path& file : files) total += HandlesOn(file);
    return total;
  };
  EXPECT_LE(handles(), 0) << "import keeps nothing open";

  for (const bool closing : {false, true}) {
    SCOPED_TRACE(closing ? "with the host closing files" : "the bound alone");
    std::mt19937 rng(closing ? 42 : 7);  // fixed seeds: replayable
    for (int n = 0; n < 160; ++n) {
      Item& item = items[rng() % items.size()];
      Ask(item, rng, "request " + std::to_string(n));
      ASSERT_FALSE(HasFatalFailure());
      // Four items, each with a picture and a sound demuxer at most.
      EXPECT_LE(handles(), 8) << "request " << n;
      if (closing && rng() % 3 == 0) {
        EXPECT_EQ(CloseSources(items[rng() % items.size()].spec), A_Err_NONE);
      }
    }
  }
  for (Item& item : items) {
    EXPECT_EQ(CloseSources(item.spec), A_Err_NONE);
    EXPECT_EQ(s_->Close(item.spec), A_Err_NONE);
  }
  EXPECT_LE(handles(), 0);
  EXPECT_TRUE(s_->Clean());
}

// Exactly the bound: with ZARN_OPEN_ITEMS at N, picture and sound of N + 1
// items, each on a file of its own, leave the least recently used one
// holding nothing of its file, and every other one its file.
TEST_F(OpenItems, TheBoundIsExact) {
  const fs::path dir = zarn_test::MakeTempDir("zarn-open-bound-");
  for (const int bound : {1, 4}) {
    SCOPED_TRACE("ZARN_OPEN_ITEMS=" + std::to_string(bound));
    const zarn_test::EnvSetting setting("ZARN_OPEN_ITEMS", std::to_string(bound));
    s_ = std::make_unique<PluginSession>();
    ASSERT_TRUE(s_->ready()) << s_->error;
    std::vector<fs::path> files;
    std::vector<AEIO_InSpecH> specs;
    for (int i = 0; i <= bound; ++i) {
      files.push_back(dir / ("item" + std::to_string(bound) + "-" + std::to_string(i) + ".mkv"));
      fs::copy_file(zarn_test::MediaPath("sync_before.mkv"), files.back(),
                    fs::copy_options::overwrite_existing);
      A_Err err = -1;
      specs.push_back(s_->ImportPath(files.back().string(), &err));
      ASSERT_EQ(err, A_Err_NONE);
      standin::World world(160, 120);
      ASSERT_EQ(s_->host.DrawFrame(specs.back(), A_Time{1, 2}, world), A_Err_NONE);
      std::vector<float> sound(2 * 480);
      ASSERT_EQ(s_->host.GetSound(specs.back(), A_Time{1, 2}, 24000, 480, sound.data()),
                A_Err_NONE);
    }
    if (HandlesOn(files[0]) >= 0) {
      EXPECT_EQ(HandlesOn(files[0]), 0) << "the least recently used item";
      for (int i = 1; i <= bound; ++i) EXPECT_GT(HandlesOn(files[static_cast<size_t>(i)]), 0) << i;
    } else {
      Move(files[0], dir / "moved.mkv");  // Windows: only a file nobody holds moves
      Move(dir / "moved.mkv", files[0]);
    }
    for (AEIO_InSpecH spec : specs) EXPECT_EQ(s_->Close(spec), A_Err_NONE);
    EXPECT_TRUE(s_->Clean());
    s_.reset();
  }
  fs::remove_all(dir);
}

// An item whose file the host had closed: the file can be renamed (Windows
// refuses that for a file held open), taken away and changed; the item gives
// black and silence meanwhile, and its own pictures and sound once the file
// is back. Nothing leaks.
TEST_F(OpenItems, ClosedFileCanMoveAndComeBack) {
  // Without the picture cache every answer needs the file.
  const zarn_test::EnvSetting no_cache("ZARN_CACHE_MB", "0");
  s_ = std::make_unique<PluginSession>();
  ASSERT_TRUE(s_->ready()) << s_->error;
  const fs::path dir = zarn_test::MakeTempDir("zarn-open-items-");
  const fs::path path = dir / "clip.mkv";
  const fs::path moved = dir / "moved.mkv";
  fs::copy_file(zarn_test::MediaPath("sync_before.mkv"), path);
  const Footage footage{"sync_before.mkv", 0.0};
  const zarn_test::ReferenceVideo video = zarn_test::DecodeReference(path.string());
  const zarn_test::ReferenceAudio audio = zarn_test::DecodeReferenceAudio(path.string());
  ASSERT_TRUE(video.ok && audio.ok);
  Item item{&footage, &video, &audio};
  A_Err err = -1;
  item.spec = s_->ImportPath(path.string(), &err);
  ASSERT_EQ(err, A_Err_NONE);
  std::mt19937 rng(3);

  const auto answers_black_and_silence = [&](const char* what) {
    standin::World world(video.width, video.height);
    EXPECT_EQ(s_->host.DrawFrame(item.spec, video.TimeOf(5), world), A_Err_NONE) << what;
    EXPECT_EQ(world.Pixels(), zarn_test::OpaqueBlack(video.width, video.height)) << what;
    std::vector<float> sound(2000, 1.0f);
    EXPECT_EQ(s_->host.GetSound(item.spec, A_Time{1, 2}, 0, 1000, sound.data()), A_Err_NONE)
        << what;
    EXPECT_EQ(sound, std::vector<float>(2000, 0.0f)) << what;
  };

  for (int n = 0; n < 4; ++n) Ask(item, rng, "before");
  EXPECT_NE(HandlesOn(path), 0);
  ASSERT_EQ(CloseSources(item.spec), A_Err_NONE);
  EXPECT_LE(HandlesOn(path), 0) << "closed, the file is not held";

  // Renamed away and back between requests.
  ASSERT_NO_FATAL_FAILURE(Move(path, moved)) << "the file is still held";
  ASSERT_NO_FATAL_FAILURE(Move(moved, path));
  for (int n = 0; n < 4; ++n) Ask(item, rng, "after renaming back");

  // Gone while closed, then back.
  ASSERT_EQ(CloseSources(item.spec), A_Err_NONE);
  ASSERT_NO_FATAL_FAILURE(Move(path, moved));
  answers_black_and_silence("gone");
  ASSERT_NO_FATAL_FAILURE(Move(moved, path));
  for (int n = 0; n < 4; ++n) Ask(item, rng, "back");

  // Changed to another clip while closed, then the original again.
  ASSERT_EQ(CloseSources(item.spec), A_Err_NONE);
  ASSERT_NO_FATAL_FAILURE(Move(path, moved));
  fs::copy_file(zarn_test::MediaPath("silent.mkv"), path);
  answers_black_and_silence("changed");
  ASSERT_EQ(CloseSources(item.spec), A_Err_NONE);
  fs::remove(path);
  ASSERT_NO_FATAL_FAILURE(Move(moved, path));
  for (int n = 0; n < 4; ++n) Ask(item, rng, "restored");

  EXPECT_EQ(s_->Close(item.spec), A_Err_NONE);
  EXPECT_TRUE(s_->Clean());
  s_.reset();
  std::error_code error;
  fs::remove_all(dir, error);
}

}  // namespace
