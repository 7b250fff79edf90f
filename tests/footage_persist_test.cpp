// Saving and reopening footage through the loaded module: the flattened
// block's bytes, the record rebuilt from it, the trace lines, and every
// failure path leaving the host clean.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "footage/footage_options.h"
#include "support/paths.h"
#include "support/temp_cwd.h"
#include "tests/footage_session.h"
#include "tests/support/temp_dir.h"

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

class Persist : public FootageSession {
 protected:
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
  std::filesystem::copy_file(MediaPath("silent.mkv"), path);
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(path.string(), &result);
  EXPECT_EQ(result, GetParam().result);
  if (result == A_Err_NONE) {
    EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  }
  EXPECT_EQ(host.OptionsHandle(spec) != nullptr, result == A_Err_NONE);
  EXPECT_TRUE(HostClean());
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, FlattenPathLength,
    ::testing::Values(PathLengthCase{0, A_Err_NONE}, PathLengthCase{1, A_Err_NONE},
                      PathLengthCase{1022, A_Err_NONE}, PathLengthCase{1023, A_Err_NONE},
                      PathLengthCase{1024, A_Err_PARAMETER}, PathLengthCase{4000, A_Err_PARAMETER}),
    [](const auto& info) { return std::to_string(info.param.length); });

struct StoredBlockCase {
  const char* name;
  std::vector<uint8_t> block;
  A_Err result;
  bool installed;
  std::string path;  // the record's path when installed
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
  return {
      {"Clip", BlockFor(clip), A_Err_NONE, true, clip},
      {"NothingUsable", BlockFor(subtitles), A_Err_NONE, true, subtitles},
      // Installed even though the open fails, so the item keeps its path.
      {"MissingFile", BlockFor(missing), A_Err_STRUCT, true, missing},
      {"AllZero", BlockFor(""), A_Err_STRUCT, true, ""},
      {"TerminatorInLastByte", last_byte_zero, A_Err_STRUCT, true, std::string(1023, 'x')},
      {"NoTerminator", unterminated, A_Err_PARAMETER, false, ""},
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
    // Saved again, it gives back the same block.
    AEIO_Handle again = nullptr;
    ASSERT_EQ(host.Flatten(spec, &again), A_Err_NONE);
    EXPECT_EQ(host.HandleBytes(again), c.block);
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
