// Loading the built module in the stand-in host and calling its entry point
// as the host does: the registration sequence, the records it registers, the
// stubs, every way the sequence can stop, the trace log and the exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/standin_host.h"
#include "host_abi/plugin_id.h"
#include "host_abi/suite_cache.h"
#include "shell/registration.h"
#include "tests/support/paths.h"
#include "tests/support/temp_cwd.h"

namespace {

using standin::Host;
using standin::Module;
using standin::Op;
using zarn_test::TempCwd;

using CallList = std::vector<std::pair<Op, std::string>>;

std::unique_ptr<Module> LoadModule() {
  std::string error;
  std::unique_ptr<Module> module = Module::Load(zarn_test::ModulePath(), &error);
  EXPECT_NE(module, nullptr) << error;
  return module;
}

CallList CallsOf(const Host& host) {
  CallList calls;
  for (const standin::Call& call : host.calls()) calls.emplace_back(call.op, call.text);
  return calls;
}

const CallList& SuccessfulSequence() {
  static const CallList calls = {
      {Op::AcquireSuite, "AEGP Register Suite 6"}, {Op::RegisterDeathHook, "id 7"},
      {Op::AcquireSuite, "PF ANSI Suite 1"},       {Op::AnsiStrcpy, "Zarn_Importer"},
      {Op::ReleaseSuite, "PF ANSI Suite 1"},       {Op::RegisterIO, "id 7 Zarn_Importer"},
      {Op::AcquireSuite, "AEGP Utility Suite 7"},  {Op::RegisterWithAEGP, "Zarn_Importer"},
      {Op::ReleaseSuite, "AEGP Register Suite 6"}, {Op::ReleaseSuite, "AEGP Utility Suite 7"},
  };
  return calls;
}

class RegistrationTest : public ::testing::Test {
 protected:
  TempCwd cwd_;
  std::unique_ptr<Module> module_ = LoadModule();
  Host host_;
};

TEST_F(RegistrationTest, SuccessfulSequence) {
  ASSERT_NE(module_, nullptr);
  EXPECT_EQ(host_.Register(*module_), 0);
  EXPECT_EQ(CallsOf(host_), SuccessfulSequence());
  const standin::Registration& reg = host_.registration();
  EXPECT_TRUE(reg.death_hook_registered);
  EXPECT_TRUE(reg.io_registered);
  EXPECT_TRUE(reg.name_registered);
  EXPECT_EQ(reg.registered_name, "Zarn_Importer");
  ASSERT_NE(reg.death_hook, nullptr);
  EXPECT_EQ(reg.death_hook(nullptr, nullptr), 0);
  EXPECT_EQ(host_.OutstandingSuites(), 0);
  EXPECT_TRUE(host_.problems().empty());
  EXPECT_TRUE(std::filesystem::exists(cwd_.LogPath()));
}

// The record as the host reads it, byte by byte, written out from the
// module's description: 'EPT_', its name, its flags (53 as ever, plus aware of
// pixel aspect and able to draw deep: 0x40400035), 1920 x 1080, the file type,
// then the four extensions, and zeros everywhere else.
TEST_F(RegistrationTest, ModuleInfoBytes) {
  ASSERT_NE(module_, nullptr);
  ASSERT_EQ(host_.Register(*module_), 0);
  std::vector<uint8_t> expected(396, 0);
  auto put = [&](size_t offset, const std::string& bytes) {
    std::memcpy(expected.data() + offset, bytes.data(), bytes.size());
  };
  put(0, "_TPE");  // 'EPT_' little-endian
  put(4, "Zarn_Importer");
  put(36, std::string("\x35\x00\x40\x40", 4));  // flags 0x40400035
  put(44, std::string("\x80\x07\x00\x00", 4));  // 1920
  put(48, std::string("\x38\x04\x00\x00", 4));  // 1080
  put(52, std::string("\x01\x00\x04\x00", 4));  // 1 file type, 4 extensions, 0 clips
  put(72, "_TPE\xFF\xFF\xFF\xFF");              // 'EPT_', any creator
  put(80, ".ept");
  put(88, ".mkv");
  put(96, ".flv");
  put(104, ".mad");
  std::vector<uint8_t> actual(396);
  std::memcpy(actual.data(), &host_.registration().module_info, actual.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i], expected[i]) << "byte " << i;
  }
}

void* Slot(const AEIO_FunctionBlock4& block, int index) {
  void* slot;
  std::memcpy(&slot, reinterpret_cast<const char*>(&block) + 8 * index, sizeof(slot));
  return slot;
}

TEST_F(RegistrationTest, FunctionBlockPositions) {
  ASSERT_NE(module_, nullptr);
  ASSERT_EQ(host_.Register(*module_), 0);
  const AEIO_FunctionBlock4& block = host_.callbacks();
  const std::set<int> filled = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 32, 39, 40, 42, 44};
  int nulls = 0;
  for (int i = 0; i < 49; ++i) {
    if (filled.count(i)) {
      EXPECT_NE(Slot(block, i), nullptr) << "entry " << i;
    } else {
      EXPECT_EQ(Slot(block, i), nullptr) << "entry " << i;
      ++nulls;
    }
  }
  EXPECT_EQ(nulls, 30);
  // The footage, frame and sound callbacks each sit in their own entry.
  EXPECT_EQ(std::set<void*>({Slot(block, 0), Slot(block, 2), Slot(block, 3), Slot(block, 4),
                             Slot(block, 7), Slot(block, 8), Slot(block, 12)})
                .size(),
            7u);
}

TEST_F(RegistrationTest, StubResults) {
  ASSERT_NE(module_, nullptr);
  ASSERT_EQ(host_.Register(*module_), 0);
  const AEIO_FunctionBlock4& b = host_.callbacks();
  AEIO_BasicData* bd = host_.BasicData();
  AEIO_InSpecH spec = host_.NewInSpec();
  host_.ClearCalls();

  const A_Time time{1, 25};
  A_Time out_time{0, 0};
  A_LRect extent{};
  A_long w = 0, h = 0;
  A_Boolean flag = 0;
  // Garbage in the out arguments: the user-data answers must overwrite it.
  A_u_long count = 0xDEADBEEF;
  AEIO_Handle data = reinterpret_cast<AEIO_Handle>(uintptr_t{0x1234});
  EXPECT_EQ(b.AEIO_InitInSpecInteractive(bd, spec), 0);
  EXPECT_EQ(b.AEIO_SynchInSpec(bd, spec, &flag), 9992);
  EXPECT_EQ(b.AEIO_GetActiveExtent(bd, spec, &time, &extent), 9992);
  EXPECT_EQ(b.AEIO_GetDimensions(bd, spec, nullptr, &w, &h), 9992);
  EXPECT_EQ(b.AEIO_GetDuration(bd, spec, &out_time), 9992);
  EXPECT_EQ(b.AEIO_GetTime(bd, spec, &out_time), 9992);
  EXPECT_EQ(b.AEIO_InqNextFrameTime(bd, spec, &time, 0, &flag, &out_time), 9992);
  EXPECT_EQ(b.AEIO_CountUserData(bd, spec, 0, 0, &count), 0);
  EXPECT_EQ(b.AEIO_GetUserData(bd, spec, 0, 0, 0, &data), 0);
  EXPECT_EQ(b.AEIO_CountUserData(bd, spec, 0, 0, nullptr), 0);
  EXPECT_EQ(b.AEIO_GetUserData(bd, spec, 0, 0, 0, nullptr), 0);
  // No user data; nothing else was touched and the host was not called.
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(out_time.scale, 0u);
  EXPECT_TRUE(host_.calls().empty());

  // Every file is importable, whatever it is: even no file at all.
  const std::vector<A_UTF16Char> not_media = standin::ToUtf16(cwd_.dir().string() + "/none.txt");
  for (const A_UTF16Char* path : {not_media.data(), static_cast<const A_UTF16Char*>(nullptr)}) {
    A_Boolean importable = 0;
    EXPECT_EQ(b.AEIO_VerifyFileImportable(bd, 0x4550545F, path, &importable), 0);
    EXPECT_EQ(importable, 1);
  }
  EXPECT_EQ(b.AEIO_VerifyFileImportable(bd, 0x4550545F, not_media.data(), nullptr), 0);
  EXPECT_TRUE(host_.calls().empty());
  host_.DeleteInSpec(spec);
}

struct FailureCase {
  const char* name;
  void (*arrange)(Host&);
  A_Err result;
  size_t calls_before_release;                   // how far the successful sequence runs
  std::vector<std::pair<Op, std::string>> tail;  // what follows instead
  bool io_registered;
  bool log_opened;
};

TEST_F(RegistrationTest, EveryFailureStopsTheSequence) {
  ASSERT_NE(module_, nullptr);
  const std::pair<Op, std::string> release_register = {Op::ReleaseSuite, "AEGP Register Suite 6"};
  const std::vector<FailureCase> cases = {
      {"death_hook_fails",
       [](Host& h) { h.FailNthCall(Op::RegisterDeathHook, 1, 77); },
       77,
       2,
       {release_register},
       false,
       false},
      {"register_io_fails",
       [](Host& h) { h.FailNthCall(Op::RegisterIO, 1, 78); },
       78,
       6,
       {release_register},
       false,
       true},
      {"register_name_fails",
       [](Host& h) { h.FailNthCall(Op::RegisterWithAEGP, 1, 79); },
       79,
       8,
       {release_register, {Op::ReleaseSuite, "AEGP Utility Suite 7"}},
       true,
       true},
      {"register_suite_missing",
       [](Host& h) { h.MissSuite("AEGP Register Suite", 6); },
       516,
       1,
       {},
       false,
       false},
      {"register_suite_null",
       [](Host& h) { h.NullSuite("AEGP Register Suite", 6); },
       516,
       1,
       {},
       false,
       false},
      {"ansi_suite_missing",
       [](Host& h) { h.MissSuite("PF ANSI Suite", 1); },
       516,
       3,
       {release_register},
       false,
       false},
      {"ansi_suite_null",
       [](Host& h) { h.NullSuite("PF ANSI Suite", 1); },
       516,
       3,
       {release_register},
       false,
       false},
      {"utility_suite_missing",
       [](Host& h) { h.MissSuite("AEGP Utility Suite", 7); },
       516,
       7,
       {release_register},
       true,
       true},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    // A fresh load per case: unloading closes the log, which Windows will not
    // delete while it is open.
    module_.reset();
    module_ = LoadModule();
    ASSERT_NE(module_, nullptr);
    std::filesystem::remove(cwd_.LogPath());
    Host host;
    c.arrange(host);
    EXPECT_EQ(host.Register(*module_), c.result);

    CallList expected(SuccessfulSequence().begin(),
                      SuccessfulSequence().begin() + c.calls_before_release);
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(CallsOf(host), expected);

    const standin::Registration& reg = host.registration();
    EXPECT_EQ(reg.death_hook_registered, c.calls_before_release > 2);
    EXPECT_EQ(reg.io_registered, c.io_registered);
    EXPECT_FALSE(reg.name_registered);
    EXPECT_EQ(std::filesystem::exists(cwd_.LogPath()), c.log_opened);
    EXPECT_EQ(host.OutstandingSuites(), 0);
    EXPECT_TRUE(host.problems().empty());
  }
}

TEST_F(RegistrationTest, NullBasicSuiteIs516AndCallsNothing) {
  ASSERT_NE(module_, nullptr);
  EXPECT_EQ(host_.RegisterWithNullBasicSuite(*module_), 516);
  EXPECT_TRUE(host_.calls().empty());
  EXPECT_FALSE(std::filesystem::exists(cwd_.LogPath()));
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST_F(RegistrationTest, EachLoadTruncatesTheLog) {
  ASSERT_NE(module_, nullptr);
  std::ofstream(cwd_.LogPath(), std::ios::binary) << "from an earlier session\r\n";
  ASSERT_EQ(host_.Register(*module_), 0);
  EXPECT_EQ(ReadAll(cwd_.LogPath()), "");

  // A line written while the first load's file is open, then a second load.
  std::ofstream(cwd_.LogPath(), std::ios::binary | std::ios::app) << "first load\r\n";
  module_.reset();
  std::unique_ptr<Module> again = LoadModule();
  ASSERT_NE(again, nullptr);
  Host second;
  ASSERT_EQ(second.Register(*again), 0);
  EXPECT_EQ(ReadAll(cwd_.LogPath()), "");
}

TEST(RegistrationLog, MissingFolderLeavesNoFileAndStillRegisters) {
  TempCwd cwd(/*with_log_folder=*/false);
  std::unique_ptr<Module> module = LoadModule();
  ASSERT_NE(module, nullptr);
  Host host;
  EXPECT_EQ(host.Register(*module), 0);
  EXPECT_TRUE(host.registration().name_registered);
  EXPECT_TRUE(std::filesystem::is_empty(cwd.dir()));
}

// Inside the test program: the id the host wrote is what callbacks get.
TEST(RegisteredId, IsTheOneTheHostWroteAndOnlyOnSuccess) {
  TempCwd cwd;
  {
    Host host;
    host.FailNthCall(Op::RegisterWithAEGP, 1, 79);
    EXPECT_EQ(RegisterImporter(host.BasicSuite(), 7), 79);
    EXPECT_EQ(RegisteredPluginId(), 0);
  }
  Host host;
  EXPECT_EQ(RegisterImporter(host.BasicSuite(), 7), 0);
  EXPECT_NE(host.registration().registered_id, 0);
  EXPECT_EQ(RegisteredPluginId(), host.registration().registered_id);
}

TEST(ModuleExports, OnlyTheEntryPoint) {
#ifdef _WIN32
  GTEST_SKIP() << "the Windows module's exports are read by windows_module_test";
#endif
  const std::string command = "nm -D --defined-only '" + zarn_test::ModulePath() + "' 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof(line), pipe)) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    names.push_back(name.empty() ? std::string(line) : name);
  }
  ASSERT_EQ(pclose(pipe), 0) << "nm failed";
  EXPECT_EQ(names, std::vector<std::string>{"EntryPointFunc"});
}

}  // namespace
