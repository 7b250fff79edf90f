// Saving and reopening footage through the loaded module: the flattened
// block's bytes, the record rebuilt from it, the trace lines, and every
// failure path leaving the host clean.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "footage/footage_options.h"
#include "support/paths.h"
#include "support/temp_cwd.h"
#include "tests/footage_session.h"
#include "tests/support/reference_audio.h"
#include "tests/support/temp_dir.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace {

using standin::Op;
using zarn_test::MediaPath;

constexpr size_t kBlockSize = 1024;

// The block a path must flatten to: its bytes, a 0, zeros to 1024.
std::vector<uint8_t> BlockFor(const std::string& path) {
  std::vector<uint8_t> block(kBlockSize, 0);
  std::memcpy(block.data(), path.data(), path.size());
  return block;
}

// A recorder's clip with three titled sound tracks: 1 "Mix" (AAC 48 kHz
// stereo), 2 "Game" (AC-3 5.1), 3 "Microphone" (FLAC mono 22.05 kHz, eng).
const char kTracksClip[] = "three_sound_tracks.mkv";

// The block of a path followed by the record of a chosen sound track.
std::vector<uint8_t> BlockWithTrack(const std::string& path, int32_t stream, int32_t codec,
                                    uint8_t version = 1) {
  std::vector<uint8_t> block = BlockFor(path);
  uint8_t* record = block.data() + path.size() + 1;
  std::memcpy(record, "ZSND", 4);
  record[4] = version;
  for (int i = 0; i < 4; ++i) {
    record[5 + i] = static_cast<uint8_t>(static_cast<uint32_t>(stream) >> (8 * i));
    record[9 + i] = static_cast<uint8_t>(static_cast<uint32_t>(codec) >> (8 * i));
  }
  return block;
}

class Persist : public FootageSession {
 protected:
  // The first information line: the sound track in use, where there is a choice.
  std::string InfoName(AEIO_InSpecH spec) {
    AEIO_Verbiage verbiage{};
    EXPECT_EQ(host.GetInfo(spec, &verbiage), A_Err_NONE);
    return std::string(verbiage.name, strnlen(verbiage.name, sizeof verbiage.name));
  }

  // Runs the options call, the stand-in user answering `row` (none: Cancel).
  A_Err ChooseTrack(AEIO_InSpecH spec, std::optional<int> row, A_Boolean* interacted) {
    host.SetSoundTrackChooser([&](const std::vector<std::string>& rows, A_long current) {
      offered_rows = rows;
      offered_current = current;
      return row ? standin::TrackAnswer{true, *row} : standin::TrackAnswer{false, current};
    });
    const A_Err err = host.OptionsDialog(spec, interacted);
    host.SetSoundTrackChooser(nullptr);
    return err;
  }

  // Half a second of the item's sound equals the reference decode of sound
  // track `track` of `clip`.
  void ExpectSoundOfTrack(AEIO_InSpecH spec, const char* clip, int track) {
    const zarn_test::ReferenceAudio ref = zarn_test::DecodeReferenceAudio(MediaPath(clip), track);
    ASSERT_TRUE(ref.ok);
    const A_u_long count = static_cast<A_u_long>(ref.rate / 2);
    std::vector<float> got(count * 2, 7.0f);
    ASSERT_EQ(host.GetSound(spec, A_Time{0, static_cast<A_u_long>(ref.rate)}, 0, count, got.data()),
              A_Err_NONE);
    const zarn_test::Difference d = zarn_test::CompareSamples(got, ref.Expected(0, count));
    EXPECT_LE(d.largest, std::pow(10.0, -90.0 / 20.0)) << "track " << track << " at " << d.at;
  }

  std::vector<std::string> offered_rows;
  A_long offered_current = -1;

  const FootageOptions& Record(AEIO_InSpecH spec) const {
    return *static_cast<const FootageOptions*>(host.HandleData(host.OptionsHandle(spec)));
  }

  // A record the host holds for `spec` with only its path set (the test
  // owns the text), for paths no file system would accept.
  AEGP_MemHandle AttachPathOnlyRecord(AEIO_InSpecH spec, const char* path) {
    FootageOptions record{};
    record.path = const_cast<char*>(path);
    std::vector<uint8_t> bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    AEGP_MemHandle handle = host.NewHandle("test record", bytes);
    host.SetOptionsHandle(spec, handle);
    return handle;
  }

  std::vector<std::string> PluginHandles() const { return host.LiveHandleNames(); }
};

// The description values a reopened record must share with the import: every
// byte before `path` (both records start zero-filled, padding included).
void ExpectSameDescription(const FootageOptions& a, const FootageOptions& b) {
  EXPECT_EQ(std::memcmp(&a, &b, offsetof(FootageOptions, path)), 0);
  EXPECT_NE(a.duration.value, 0);
}

// A copy of a clip under a name with accents, CJK and a character outside
// the BMP (a surrogate pair in the host's UTF-16).
class UnusualName {
 public:
  UnusualName() {
    dir_ = zarn_test::MakeTempDir("zarn-footage-");
    // Built from UTF-8 explicitly: a plain narrow string is the ANSI code
    // page to the Windows runtime.
    const std::filesystem::path file =
        dir_ / std::filesystem::path(u8"clip \u00e9t\u00e9 \u65e5\u672c \U0001F39E.mkv");
    std::filesystem::copy_file(MediaPath("silent.mkv"), file);
    const std::u8string utf8 = file.u8string();
    path_.assign(utf8.begin(), utf8.end());
  }
  ~UnusualName() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(Persist, SaveAndReopenRebuildsTheSameRecordFromThePath) {
  UnusualName unusual;
  for (const std::string& path :
       {MediaPath("h264_aac.mkv"), MediaPath("ac3_51.mkv"), unusual.path()}) {
    SCOPED_TRACE(path);
    A_Err result = -1;
    AEIO_InSpecH imported = host.Import(path, &result);
    ASSERT_EQ(result, A_Err_NONE);
    const FootageOptions before = Record(imported);

    AEIO_Handle flat = nullptr;
    ASSERT_EQ(host.Flatten(imported, &flat), A_Err_NONE);
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(host.HandleName(flat), "flattened_options");
    EXPECT_EQ(host.HandleBytes(flat), BlockFor(path));
    EXPECT_EQ(host.LockCount(flat), 0);
    EXPECT_EQ(host.LockCount(host.OptionsHandle(imported)), 0);
    ASSERT_EQ(host.Dispose(imported), A_Err_NONE);

    AEIO_InSpecH reopened = host.NewInSpec();
    host.ClearCalls();
    ASSERT_EQ(host.Inflate(reopened, flat), A_Err_NONE);
    EXPECT_EQ(HostOps(), (std::vector<Op>{Op::GetMemHandleSize, Op::LockMemHandle, Op::NewMemHandle,
                                          Op::LockMemHandle, Op::SetInSpecOptionsHandle,
                                          Op::UnlockMemHandle, Op::UnlockMemHandle}));
    EXPECT_TRUE(host.TellsFor(reopened).order.empty()) << "inflate must not describe again";
    EXPECT_EQ(host.HandleName(host.OptionsHandle(reopened)), "inflate_options");
    const FootageOptions& after = Record(reopened);
    ASSERT_NE(after.path, nullptr);
    EXPECT_EQ(std::string(after.path), path);
    EXPECT_NE(after.item, nullptr);
    ExpectSameDescription(before, after);

    // The block is the host's: inflate only read it.
    EXPECT_EQ(host.HandleBytes(flat), BlockFor(path));
    EXPECT_EQ(host.LockCount(flat), 0);
    host.FreeHandle(flat);
    ASSERT_EQ(host.Dispose(reopened), A_Err_NONE);
    EXPECT_TRUE(HostClean());
  }
}

struct PathLengthCase {
  size_t length;
  A_Err result;
};

class FlattenPathLength : public Persist, public ::testing::WithParamInterface<PathLengthCase> {};

TEST_P(FlattenPathLength, FitsUpTo1023BytesAndWritesNothingBeyondTheBlock) {
  std::string path(GetParam().length, '\0');
  for (size_t i = 0; i < path.size(); ++i) path[i] = static_cast<char>('a' + i % 26);
  AEIO_InSpecH spec = host.NewInSpec();
  AEGP_MemHandle record = AttachPathOnlyRecord(spec, path.c_str());

  AEIO_Handle flat = reinterpret_cast<AEIO_Handle>(&flat);  // stale garbage from the host
  EXPECT_EQ(host.Flatten(spec, &flat), GetParam().result);
  EXPECT_EQ(host.LockCount(record), 0);
  if (GetParam().result == A_Err_NONE) {
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(host.HandleBytes(flat), BlockFor(path));
    host.FreeHandle(flat);
  } else {
    EXPECT_EQ(flat, nullptr) << "a refused path must not leave a block";
  }
  EXPECT_TRUE(host.problems().empty()) << host.problems().front();
  EXPECT_TRUE(PluginHandles().empty());
  host.FreeHandle(record);
}

// Import refuses, with the same error, a real file whose path saving would
// refuse, and leaves nothing behind.
TEST_P(FlattenPathLength, ImportRefusesWhatSavingWould) {
  if (GetParam().length < 300) GTEST_SKIP() << "no file path that short here";
#ifdef _WIN32
  GTEST_SKIP() << "Windows paths end at 260 characters without the long-path prefix";
#endif
  const std::filesystem::path dir = zarn_test::MakeTempDir("zarn-long-path-");
  std::filesystem::path path = dir;
  const size_t want = GetParam().length;
  // Folders of up to 200 bytes, then a file name that makes up the length.
  while (path.string().size() + 1 + 200 + 1 + 10 < want) path /= std::string(200, 'd');
  const size_t name = want - path.string().size() - 1;
  path /= std::string(name - 4, 'f') + ".mkv";
  ASSERT_EQ(path.string().size(), want);
  std::filesystem::create_directories(path.parent_path());
  std::filesystem::copy_file(MediaPath(kTracksClip), path);
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(path.string(), &result);
  EXPECT_EQ(result, GetParam().result);
  if (result == A_Err_NONE) {
    // A chosen track is kept only where its record fits after the path.
    A_Boolean interacted = 0;
    ASSERT_EQ(ChooseTrack(spec, 3, &interacted), A_Err_NONE);
    AEIO_Handle flat = nullptr;
    ASSERT_EQ(host.Flatten(spec, &flat), A_Err_NONE);
    const bool fits = want + 1 + 13 <= kBlockSize;
    EXPECT_EQ(host.HandleBytes(flat),
              fits ? BlockWithTrack(path.string(), 3, AV_CODEC_ID_FLAC) : BlockFor(path.string()));
    AEIO_InSpecH reopened = host.NewInSpec();
    ASSERT_EQ(host.Inflate(reopened, flat), A_Err_NONE);
    EXPECT_EQ(InfoName(reopened), fits ? "Sound 3: Microphone" : "Sound 1: Mix");
    host.FreeHandle(flat);
    EXPECT_EQ(host.Dispose(reopened), A_Err_NONE);
    EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  }
  EXPECT_EQ(host.OptionsHandle(spec) != nullptr, result == A_Err_NONE);
  EXPECT_TRUE(HostClean());
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, FlattenPathLength,
    ::testing::Values(PathLengthCase{0, A_Err_NONE}, PathLengthCase{1, A_Err_NONE},
                      PathLengthCase{1010, A_Err_NONE}, PathLengthCase{1011, A_Err_NONE},
                      PathLengthCase{1022, A_Err_NONE}, PathLengthCase{1023, A_Err_NONE},
                      PathLengthCase{1024, A_Err_PARAMETER}, PathLengthCase{4000, A_Err_PARAMETER}),
    [](const auto& info) { return std::to_string(info.param.length); });

struct StoredBlockCase {
  const char* name;
  std::vector<uint8_t> block;
  A_Err result;
  bool installed;
  std::string path;                       // the record's path when installed
  std::string info_name;                  // the sound track it names once reopened
  std::vector<uint8_t> saved_again = {};  // empty: the same block
};

std::vector<StoredBlockCase> StoredBlocks() {
  const std::string clip = MediaPath("silent.mkv");
  const std::string missing = MediaPath("no_such_clip.mkv");
  std::vector<uint8_t> unterminated(kBlockSize, 'x');
  std::vector<uint8_t> last_byte_zero = unterminated;
  last_byte_zero.back() = 0;
  // Import refuses a file with nothing usable; a project saved before that
  // still reopens with it.
  const std::string subtitles = MediaPath("subtitles.mkv");
  const std::string tracks = MediaPath(kTracksClip);
  std::vector<uint8_t> cut_record = BlockWithTrack(tracks, 3, AV_CODEC_ID_FLAC);
  cut_record.resize(tracks.size() + 1 + 12);  // a damaged project's shorter block
  const std::string mix = "Sound 1: Mix";
  return {
      // The sound track chosen, kept after the path; anything that does not
      // match the file as it is now means the first track again.
      {"TracksBeforeAnyChoice", BlockFor(tracks), A_Err_NONE, true, tracks, mix},
      {"ChosenTrack", BlockWithTrack(tracks, 3, AV_CODEC_ID_FLAC), A_Err_NONE, true, tracks,
       "Sound 3: Microphone"},
      {"NoSoundChosen", BlockWithTrack(tracks, -1, 0), A_Err_NONE, true, tracks, "No sound"},
      {"ChosenStreamNowPicture", BlockWithTrack(tracks, 0, AV_CODEC_ID_FLAC), A_Err_NONE, true,
       tracks, mix, BlockFor(tracks)},
      {"ChosenCodecChanged", BlockWithTrack(tracks, 3, AV_CODEC_ID_AAC), A_Err_NONE, true, tracks,
       mix, BlockFor(tracks)},
      {"ChosenStreamGone", BlockWithTrack(tracks, 9, AV_CODEC_ID_FLAC), A_Err_NONE, true, tracks,
       mix, BlockFor(tracks)},
      {"UnknownRecordVersion", BlockWithTrack(tracks, 3, AV_CODEC_ID_FLAC, 2), A_Err_NONE, true,
       tracks, mix, BlockFor(tracks)},
      {"RecordCutByTheBlockEnd", cut_record, A_Err_NONE, true, tracks, mix, BlockFor(tracks)},
      {"Clip", BlockFor(clip), A_Err_NONE, true, clip, ""},
      {"NothingUsable", BlockFor(subtitles), A_Err_NONE, true, subtitles, ""},
      // Installed even though the open fails, so the item keeps its path.
      {"MissingFile", BlockFor(missing), A_Err_STRUCT, true, missing, ""},
      {"AllZero", BlockFor(""), A_Err_STRUCT, true, "", ""},
      {"TerminatorInLastByte", last_byte_zero, A_Err_STRUCT, true, std::string(1023, 'x'), ""},
      {"NoTerminator", unterminated, A_Err_PARAMETER, false, "", ""},
  };
}

class InflateStoredBlock : public Persist, public ::testing::WithParamInterface<StoredBlockCase> {};

TEST_P(InflateStoredBlock, InstallsWhatTheBlockNamesAndNeverReadsPastIt) {
  const StoredBlockCase& c = GetParam();
  AEGP_MemHandle flat = host.NewHandle("flattened_options", c.block);
  AEIO_InSpecH spec = host.NewInSpec();
  EXPECT_EQ(host.Inflate(spec, flat), c.result);
  EXPECT_EQ(host.LockCount(flat), 0);
  EXPECT_EQ(host.OptionsHandle(spec) != nullptr, c.installed);
  EXPECT_TRUE(host.TellsFor(spec).order.empty());
  if (c.installed) {
    ASSERT_NE(Record(spec).path, nullptr);
    EXPECT_EQ(std::string(Record(spec).path), c.path);
    EXPECT_EQ(InfoName(spec), c.info_name);
    // Saved again, it gives back the same block (a record that did not
    // match is not kept).
    AEIO_Handle again = nullptr;
    ASSERT_EQ(host.Flatten(spec, &again), A_Err_NONE);
    EXPECT_EQ(host.HandleBytes(again), c.saved_again.empty() ? c.block : c.saved_again);
    host.FreeHandle(again);
    EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  }
  host.FreeHandle(flat);
  EXPECT_TRUE(HostClean());
}

INSTANTIATE_TEST_SUITE_P(Blocks, InflateStoredBlock, ::testing::ValuesIn(StoredBlocks()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Persist, NullBlockAndItemWithoutOptionsChangeNothing) {
  AEIO_InSpecH spec = host.NewInSpec();
  EXPECT_EQ(host.Inflate(spec, nullptr), A_Err_NONE);
  EXPECT_EQ(host.OptionsHandle(spec), nullptr);
  AEIO_Handle flat = nullptr;
  EXPECT_EQ(host.Flatten(spec, &flat), A_Err_NONE);
  EXPECT_EQ(flat, nullptr);
  EXPECT_EQ(HostOps(), std::vector<Op>{Op::GetInSpecOptionsHandle});
  EXPECT_TRUE(HostClean());
}

// ---------------------------------------------------------------- sound track

TEST_F(Persist, ChosenSoundTrackIsToldHeardAndKeptThroughCloseSaveAndReopen) {
  const std::string path = MediaPath(kTracksClip);
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(path, &result);
  ASSERT_EQ(result, A_Err_NONE);
  ExpectSoundOfTrack(spec, kTracksClip, 1);
  EXPECT_EQ(InfoName(spec), "Sound 1: Mix");

  A_Boolean interacted = 0;
  ASSERT_EQ(ChooseTrack(spec, 3, &interacted), A_Err_NONE);
  EXPECT_EQ(interacted, 1);
  EXPECT_EQ(offered_rows, (std::vector<std::string>{"No sound", "1  Mix  aac, 2 ch, 48000 Hz",
                                                    "2  Game  ac3, 6 ch, 48000 Hz",
                                                    "3  Microphone (eng)  flac, 1 ch, 22050 Hz"}));
  EXPECT_EQ(offered_current, 1);
  EXPECT_EQ(host.TellsFor(spec).sound_rate, 22050.0);
  EXPECT_EQ(host.TellsFor(spec).sound_channels, 2);
  ExpectSoundOfTrack(spec, kTracksClip, 3);
  EXPECT_EQ(InfoName(spec), "Sound 3: Microphone");

  // Closed and lazily reopened, still the microphone.
  ASSERT_EQ(host.callbacks().AEIO_CloseSourceFiles(host.BasicData(), spec), A_Err_NONE);
  ExpectSoundOfTrack(spec, kTracksClip, 3);

  AEIO_Handle flat = nullptr;
  ASSERT_EQ(host.Flatten(spec, &flat), A_Err_NONE);
  EXPECT_EQ(host.HandleBytes(flat), BlockWithTrack(path, 3, AV_CODEC_ID_FLAC));
  ASSERT_EQ(host.Dispose(spec), A_Err_NONE);
  AEIO_InSpecH reopened = host.NewInSpec();
  ASSERT_EQ(host.Inflate(reopened, flat), A_Err_NONE);
  ExpectSoundOfTrack(reopened, kTracksClip, 3);
  host.FreeHandle(flat);
  ASSERT_EQ(host.Dispose(reopened), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

struct TrackAnswerCase {
  const char* name;
  const char* clip;
  std::optional<int> row;  // none: Cancel
  A_Err result;
  A_Boolean interacted;
  int heard;  // the track heard afterwards; 0: none (told a rate of 0)
};

const TrackAnswerCase kTrackAnswers[] = {
    {"Cancel", kTracksClip, std::nullopt, A_Err_NONE, 0, 1},
    {"SameTrack", kTracksClip, 1, A_Err_NONE, 0, 1},
    {"FiveOneGame", kTracksClip, 2, A_Err_NONE, 1, 2},
    {"NoSound", kTracksClip, 0, A_Err_NONE, 1, 0},
    {"RowNotOffered", kTracksClip, 4, A_Err_PARAMETER, 0, 1},
    // Without its one track a sound file would hold nothing.
    {"NoSoundLeavesNothing", "flac_44k.mkv", 0, A_Err_STRUCT, 0, 1},
};

class TrackAnswer : public Persist, public ::testing::WithParamInterface<TrackAnswerCase> {};

TEST_P(TrackAnswer, ChangesTheItemOnlyForAnotherTrackThatItCanHold) {
  const TrackAnswerCase& c = GetParam();
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(MediaPath(c.clip), &result);
  ASSERT_EQ(result, A_Err_NONE);
  const standin::Told before = host.TellsFor(spec);
  host.ClearCalls();
  A_Boolean interacted = 7;
  EXPECT_EQ(ChooseTrack(spec, c.row, &interacted), c.result);
  EXPECT_EQ(interacted, c.interacted);
  if (c.interacted == 0) {
    EXPECT_EQ(host.TellsFor(spec).order, before.order) << "nothing is told again";
  }
  if (c.heard > 0) {
    ExpectSoundOfTrack(spec, c.clip, c.heard);
  } else {
    EXPECT_EQ(host.TellsFor(spec).sound_rate, 0.0);
    EXPECT_EQ(InfoName(spec), "No sound");
  }
  ASSERT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

INSTANTIATE_TEST_SUITE_P(Answers, TrackAnswer, ::testing::ValuesIn(kTrackAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- trace

class PersistTrace : public Persist {
 protected:
  zarn_test::TempCwd cwd;  // made before SetUp registers, so the log opens here

  std::vector<std::string> LogLines() const {
    std::ifstream file(cwd.LogPath(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::vector<std::string> lines;
    std::string all = text.str();
    for (size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      lines.push_back(all.substr(start, end - start));
    }
    return lines;
  }
};

TEST_F(PersistTrace, WritesTheMarkersThePathAndTheResult) {
  const std::string path = MediaPath("silent.mkv");
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(path, &result);
  ASSERT_EQ(result, A_Err_NONE);
  AEIO_Handle flat = nullptr;
  ASSERT_EQ(host.Flatten(spec, &flat), A_Err_NONE);
  AEIO_InSpecH reopened = host.NewInSpec();
  ASSERT_EQ(host.Inflate(reopened, nullptr), A_Err_NONE);
  ASSERT_EQ(host.Inflate(reopened, flat), A_Err_NONE);
  AEIO_Handle failed = nullptr;
  ASSERT_EQ(FlattenWithFault(spec, &failed, Fault::Fail(Op::NewMemHandle)), Fault::kErr);
  ASSERT_EQ(FlattenWithFault(spec, &failed, Fault::Missing(kAEGPIOInSuite, 5)), 516);

  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "************Zarn_FlattenOptions Begin",
                            "path=" + path,
                            "err=0",
                            "************Zarn_FlattenOptions End",
                            "------------Zarn_InflateOptions Begin",
                            "------------Zarn_InflateOptions End",
                            "------------Zarn_InflateOptions Begin",
                            "path=" + path,
                            "------------Zarn_InflateOptions End",
                            "************Zarn_FlattenOptions Begin",
                            "err=77",
                            "************Zarn_FlattenOptions End",
                            "************Zarn_FlattenOptions Begin",
                            "err=516",
                            "************Zarn_FlattenOptions End",
                        }));
  host.FreeHandle(flat);
  EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_EQ(host.Dispose(reopened), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

// ---------------------------------------------------------------- failures

struct FlattenFault {
  const char* name;
  Fault fault;
  A_Err result;
  bool block_made;   // a block was handed out in the out argument
  int record_locks;  // the host refused to unlock the record
  int block_locks;   // the host refused to unlock the block
};

const FlattenFault kFlattenFaults[] = {
    {"GetInSpecOptionsHandle", Fault::Fail(Op::GetInSpecOptionsHandle), Fault::kErr, false, 0, 0},
    {"LockRecord", Fault::Fail(Op::LockMemHandle, 1), Fault::kErr, false, 0, 0},
    {"NewMemHandle", Fault::Fail(Op::NewMemHandle), Fault::kErr, false, 0, 0},
    {"LockBlock", Fault::Fail(Op::LockMemHandle, 2), Fault::kErr, true, 0, 0},
    {"UnlockRecord", Fault::Fail(Op::UnlockMemHandle, 1), Fault::kErr, true, 1, 0},
    {"UnlockBlock", Fault::Fail(Op::UnlockMemHandle, 2), Fault::kErr, true, 0, 1},
    {"NullBlockHandle", Fault::NullHandle(1), A_Err_ALLOC, false, 0, 0},
    {"NullRecordPointer", Fault::NullLock(1), A_Err_ALLOC, false, 0, 0},
    {"NullBlockPointer", Fault::NullLock(2), A_Err_ALLOC, true, 0, 0},
    {"IOInSuiteMissing", Fault::Missing(kAEGPIOInSuite, 5), 516, false, 0, 0},
    {"MemorySuiteMissing", Fault::Missing(kAEGPMemorySuite, 1), 516, false, 0, 0},
    {"NoBasicSuite", Fault::NoBasicSuite(), 516, false, 0, 0},
};

class FlattenFailure : public Persist, public ::testing::WithParamInterface<FlattenFault> {};

TEST_P(FlattenFailure, ReturnsTheErrorAndLeavesTheRecordUntouched) {
  const FlattenFault& row = GetParam();
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(MediaPath("silent.mkv"), &result);
  ASSERT_EQ(result, A_Err_NONE);
  AEGP_MemHandle record = host.OptionsHandle(spec);
  const std::vector<uint8_t> record_bytes = host.HandleBytes(record);

  AEIO_Handle flat = nullptr;
  EXPECT_EQ(FlattenWithFault(spec, &flat, row.fault), row.result);
  EXPECT_EQ(OutstandingSuites(), 0);
  EXPECT_TRUE(host.problems().empty()) << host.problems().front();
  EXPECT_EQ(host.HandleBytes(record), record_bytes);
  EXPECT_EQ(host.LockCount(record), row.record_locks);
  if (row.record_locks > 0) UnlockAsHost(record);
  ASSERT_EQ(flat != nullptr, row.block_made);
  if (flat != nullptr) {
    EXPECT_EQ(host.HandleName(flat), "flattened_options");
    EXPECT_EQ(host.HandleBytes(flat).size(), kBlockSize);
    EXPECT_EQ(host.LockCount(flat), row.block_locks);
    if (row.block_locks > 0) UnlockAsHost(flat);
    host.FreeHandle(flat);
  }
  EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

INSTANTIATE_TEST_SUITE_P(EachHostStep, FlattenFailure, ::testing::ValuesIn(kFlattenFaults),
                         [](const auto& info) { return std::string(info.param.name); });

struct InflateFault {
  const char* name;
  Fault fault;
  A_Err result;
  bool installed;
  int record_locks;  // the host refused to unlock the new record
  int block_locks;   // the host refused to unlock the block
};

const InflateFault kInflateFaults[] = {
    {"LockBlock", Fault::Fail(Op::LockMemHandle, 1), Fault::kErr, false, 0, 0},
    {"NewMemHandle", Fault::Fail(Op::NewMemHandle), Fault::kErr, false, 0, 0},
    {"LockRecord", Fault::Fail(Op::LockMemHandle, 2), Fault::kErr, false, 0, 0},
    // Not installed means nobody else would free the record.
    {"SetInSpecOptionsHandle", Fault::Fail(Op::SetInSpecOptionsHandle), Fault::kErr, false, 0, 0},
    {"UnlockRecord", Fault::Fail(Op::UnlockMemHandle, 1), Fault::kErr, true, 1, 0},
    {"UnlockBlock", Fault::Fail(Op::UnlockMemHandle, 2), Fault::kErr, true, 0, 1},
    {"NullRecordHandle", Fault::NullHandle(1), A_Err_ALLOC, false, 0, 0},
    {"NullBlockPointer", Fault::NullLock(1), A_Err_ALLOC, false, 0, 0},
    {"NullRecordPointer", Fault::NullLock(2), A_Err_ALLOC, false, 0, 0},
    {"MemorySuiteMissing", Fault::Missing(kAEGPMemorySuite, 1), 516, false, 0, 0},
    // The IO In suite is first needed after the record was made and opened.
    {"IOInSuiteMissing", Fault::Missing(kAEGPIOInSuite, 5), 516, false, 0, 0},
    {"IOInSuiteNull", Fault::NullTable(kAEGPIOInSuite, 5), 516, false, 0, 0},
    {"NoBasicSuite", Fault::NoBasicSuite(), 516, false, 0, 0},
};

class InflateFailure : public Persist, public ::testing::WithParamInterface<InflateFault> {};

TEST_P(InflateFailure, ReturnsTheErrorAndFreesWhatWasNotHandedOver) {
  const InflateFault& row = GetParam();
  const std::string path = MediaPath("h264_aac.mkv");
  AEGP_MemHandle flat = host.NewHandle("flattened_options", BlockFor(path));
  AEIO_InSpecH spec = host.NewInSpec();

  EXPECT_EQ(InflateWithFault(spec, flat, row.fault), row.result);
  EXPECT_EQ(OutstandingSuites(), 0);
  EXPECT_TRUE(host.problems().empty()) << host.problems().front();
  EXPECT_EQ(host.HandleBytes(flat), BlockFor(path));
  EXPECT_EQ(host.LockCount(flat), row.block_locks);
  if (row.block_locks > 0) UnlockAsHost(flat);
  AEGP_MemHandle record = host.OptionsHandle(spec);
  ASSERT_EQ(record != nullptr, row.installed);
  if (record != nullptr) {
    EXPECT_EQ(host.LockCount(record), row.record_locks);
    if (row.record_locks > 0) UnlockAsHost(record);
    EXPECT_EQ(std::string(Record(spec).path), path);
    EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  }
  host.FreeHandle(flat);
  EXPECT_TRUE(HostClean());
}

INSTANTIATE_TEST_SUITE_P(EachHostStep, InflateFailure, ::testing::ValuesIn(kInflateFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Persist, RepeatedSaveAndReopenLeakNothing) {
  const int cycles = CycleCount(100);
  for (int i = 0; i < cycles; ++i) {
    A_Err result = -1;
    AEIO_InSpecH spec = host.Import(MediaPath("h264_aac.mkv"), &result);
    ASSERT_EQ(result, A_Err_NONE) << "cycle " << i;
    AEIO_Handle flat = nullptr;
    ASSERT_EQ(host.Flatten(spec, &flat), A_Err_NONE) << "cycle " << i;
    ASSERT_EQ(host.Dispose(spec), A_Err_NONE);
    ASSERT_EQ(host.Inflate(spec, flat), A_Err_NONE) << "cycle " << i;
    ASSERT_EQ(host.Dispose(spec), A_Err_NONE);
    host.FreeHandle(flat);
    host.DeleteInSpec(spec);
    host.ClearCalls();
  }
  EXPECT_TRUE(HostClean());
}

}  // namespace
