// The stand-in host itself: the checks it makes on the plug-in must fire when
// they should and stay quiet when they should not, or every other test lies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/standin_host.h"
#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"

namespace {

using standin::Host;
using standin::Op;
using standin::World;

bool HasProblemIn(const Host& host, const std::string& piece) {
  for (const std::string& p : host.problems()) {
    if (p.find(piece) != std::string::npos) return true;
  }
  return false;
}

// The host's suites, acquired the way the plug-in acquires them.
class HostTest : public ::testing::Test {
 protected:
  template <typename Table>
  const Table* Acquire(const char* name, int32_t version) {
    const void* table = nullptr;
    EXPECT_EQ(host_.BasicSuite()->AcquireSuite(name, version, &table), kSPNoError) << name;
    return static_cast<const Table*>(table);
  }
  void SetUp() override {
    mem_ = Acquire<AEGP_MemorySuite1>(kAEGPMemorySuite, kAEGPMemorySuiteVersion);
    io_ = Acquire<AEGP_IOInSuite4>(kAEGPIOInSuite, kAEGPIOInSuiteVersion);
    ASSERT_NE(mem_, nullptr);
    ASSERT_NE(io_, nullptr);
  }
  AEGP_MemHandle New(const char* name, AEGP_MemSize size, AEGP_MemFlag flags = 1) {
    AEGP_MemHandle handle = nullptr;
    EXPECT_EQ(mem_->AEGP_NewMemHandle(0, name, size, flags, &handle), A_Err_NONE);
    return handle;
  }
  bool HasProblem(const std::string& piece) const { return HasProblemIn(host_, piece); }

  Host host_;
  const AEGP_MemorySuite1* mem_ = nullptr;
  const AEGP_IOInSuite4* io_ = nullptr;
};

TEST_F(HostTest, HandleRulesAnswerAnErrorAndReportAProblem) {
  struct Case {
    const char* name;
    std::function<A_Err(const AEGP_MemorySuite1*, AEGP_MemHandle)> misuse;
    const char* problem;
    int locks_after;
    bool live_after;
  };
  const std::vector<Case> cases = {
      {"unlock without lock", [](auto* m, auto h) { return m->AEGP_UnlockMemHandle(h); },
       "not locked", 0, true},
      {"free while locked",
       [](auto* m, auto h) {
         void* p = nullptr;
         m->AEGP_LockMemHandle(h, &p);
         return m->AEGP_FreeMemHandle(h);
       },
       "locked handle", 1, true},
      {"double free",
       [](auto* m, auto h) {
         m->AEGP_FreeMemHandle(h);
         return m->AEGP_FreeMemHandle(h);
       },
       "double free", 0, false},
      {"lock after free",
       [](auto* m, auto h) {
         m->AEGP_FreeMemHandle(h);
         void* p = nullptr;
         return m->AEGP_LockMemHandle(h, &p);
       },
       "freed handle", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Host host;  // a fresh problem list per case
    const auto* mem = static_cast<const AEGP_MemorySuite1*>(nullptr);
    const void* table = nullptr;
    ASSERT_EQ(host.BasicSuite()->AcquireSuite(kAEGPMemorySuite, 1, &table), 0);
    mem = static_cast<const AEGP_MemorySuite1*>(table);
    AEGP_MemHandle h = nullptr;
    ASSERT_EQ(mem->AEGP_NewMemHandle(0, "case", 16, 1, &h), 0);
    EXPECT_EQ(c.misuse(mem, h), A_Err_PARAMETER);
    ASSERT_EQ(host.problems().size(), 1u);
    EXPECT_NE(host.problems()[0].find(c.problem), std::string::npos) << host.problems()[0];
    EXPECT_EQ(host.LockCount(h), c.locks_after);
    EXPECT_EQ(host.IsLive(h), c.live_after);
  }

  // A handle this host never made.
  AEGP_OpaqueMem* nowhere = nullptr;
  EXPECT_EQ(mem_->AEGP_UnlockMemHandle(&nowhere), A_Err_PARAMETER);
  EXPECT_TRUE(HasProblem("unknown handle"));
}

TEST_F(HostTest, NestedLocksAndLeakCounts) {
  AEGP_MemHandle a = New("Zarn_Importer optionsH", 64);
  AEGP_MemHandle b = New("scratch", 8);
  host_.NewHandle("flat block", {1, 2, 3});
  void* p1 = nullptr;
  void* p2 = nullptr;
  ASSERT_EQ(mem_->AEGP_LockMemHandle(a, &p1), A_Err_NONE);
  ASSERT_EQ(mem_->AEGP_LockMemHandle(a, &p2), A_Err_NONE);
  EXPECT_EQ(p1, p2);
  EXPECT_EQ(p1, *reinterpret_cast<void**>(a));  // a real pointer to the data pointer
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p1) % 16, 0u);
  EXPECT_EQ(host_.LockCount(a), 2);
  EXPECT_EQ(host_.LockedHandleCount(), 1u);
  EXPECT_EQ(host_.LiveHandleCount(), 3u);
  EXPECT_EQ(host_.LiveHandleNames(),
            (std::vector<std::string>{"Zarn_Importer optionsH", "scratch"}));

  EXPECT_EQ(mem_->AEGP_UnlockMemHandle(a), A_Err_NONE);
  EXPECT_EQ(host_.LockCount(a), 1);
  EXPECT_EQ(mem_->AEGP_UnlockMemHandle(a), A_Err_NONE);
  EXPECT_EQ(host_.LockedHandleCount(), 0u);
  EXPECT_EQ(mem_->AEGP_FreeMemHandle(a), A_Err_NONE);
  EXPECT_EQ(mem_->AEGP_FreeMemHandle(b), A_Err_NONE);
  EXPECT_EQ(host_.LiveHandleNames(), std::vector<std::string>{});
  EXPECT_EQ(host_.LiveHandleCount(), 1u);  // the host's own block
  EXPECT_EQ(host_.HandleName(a), "Zarn_Importer optionsH");
  EXPECT_TRUE(host_.problems().empty());
}

TEST_F(HostTest, OnlyTheClearFlagZeroFills) {
  for (AEGP_MemFlag flags : {0, 1, 2, 3}) {  // none, clear, quiet, clear | quiet
    SCOPED_TRACE(flags);
    const std::vector<uint8_t> bytes = host_.HandleBytes(New("h", 400, flags));
    ASSERT_EQ(bytes.size(), 400u);
    const size_t zeros = std::count(bytes.begin(), bytes.end(), 0);
    EXPECT_EQ(zeros, (flags & AEGP_MemFlag_CLEAR) ? 400u : 0u);
  }
  AEGP_MemHandle empty = New("empty", 0);
  EXPECT_TRUE(host_.IsLive(empty));
  EXPECT_TRUE(host_.HandleBytes(empty).empty());
}

TEST_F(HostTest, WorldGuardsCatchEveryWriteOutsideThePixels) {
  struct Case {
    const char* name;
    ptrdiff_t offset;  // from data
    bool guards_intact;
  };
  // 3 x 2 pixels with 4 bytes of row padding: rows of 12 visible bytes, stride 16.
  const std::vector<Case> cases = {
      {"first pixel", 0, true},
      {"last byte of row 0", 11, true},
      {"padding after row 0", 12, false},
      {"last padding byte of row 0", 15, false},
      {"first byte of row 1", 16, true},
      {"last visible byte", 16 + 11, true},
      {"padding after the last row", 16 + 12, false},
      {"just past the buffer", 32, false},
      {"just before the buffer", -1, false},
      {"64 bytes before", -64, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World world(3, 2, 16);
    ASSERT_TRUE(world.GuardsIntact());
    ASSERT_TRUE(world.Untouched());
    EXPECT_EQ(world.UntouchedPixels(), 6u);
    reinterpret_cast<uint8_t*>(world.get()->data)[c.offset] ^= 0xFF;
    EXPECT_EQ(world.GuardsIntact(), c.guards_intact);
    EXPECT_EQ(world.Untouched(), !c.guards_intact);  // one byte changed, inside or out
  }
  for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
    World empty(w, h);
    EXPECT_TRUE(empty.GuardsIntact());
    EXPECT_TRUE(empty.Pixels().empty());
  }
}

TEST_F(HostTest, FillCoversTheWholeWorldAndNothingElse) {
  const auto* matte = Acquire<PF_FillMatteSuite2>(kPFFillMatteSuite, kPFFillMatteSuiteVersion);
  ASSERT_NE(matte, nullptr);
  World world(5, 3, 5 * 4 + 12);
  const PF_Pixel red{255, 200, 10, 20};
  EXPECT_EQ(matte->fill(nullptr, &red, nullptr, world.get()), A_Err_NONE);
  EXPECT_TRUE(world.GuardsIntact());
  EXPECT_EQ(world.UntouchedPixels(), 0u);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 15; ++i) expected.insert(expected.end(), {255, 200, 10, 20});
  EXPECT_EQ(world.Pixels(), expected);

  // A null colour is transparent black; a rectangle is clipped to the world.
  const PF_Rect rect{3, 1, 99, 2};
  EXPECT_EQ(matte->fill(nullptr, nullptr, &rect, world.get()), A_Err_NONE);
  const std::vector<uint8_t> pixels = world.Pixels();
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const bool inside = y == 1 && x >= 3;
      EXPECT_EQ(pixels[(y * 5 + x) * 4], inside ? 0 : 255) << x << "," << y;
    }
  }
  EXPECT_TRUE(world.GuardsIntact());
  EXPECT_EQ(host_.calls().back().text, "null 3,1,99,2 5x3");
}

// fill16 is fill for deep worlds (the plug-in's deep black); each refuses
// the other kind of world.
TEST_F(HostTest, EachFillKeepsToItsDepth) {
  const auto* matte = Acquire<PF_FillMatteSuite2>(kPFFillMatteSuite, kPFFillMatteSuiteVersion);
  World deep(5, 3, 0, standin::Depth::k16Bit);
  World narrow(5, 3);
  const PF_Pixel16 black16{32768, 0, 0, 0};
  const PF_Pixel black{255, 0, 0, 0};
  EXPECT_EQ(matte->fill(nullptr, &black, nullptr, deep.get()), A_Err_PARAMETER);
  EXPECT_EQ(matte->fill16(nullptr, &black16, nullptr, narrow.get()), A_Err_PARAMETER);
  EXPECT_TRUE(deep.Untouched() && narrow.Untouched());
  EXPECT_TRUE(HasProblem("Fill of a deep frame buffer"));
  EXPECT_TRUE(HasProblem("Fill16 of an 8-bit frame buffer"));
}

TEST_F(HostTest, NthCallFailsOnceWithNoEffect) {
  AEGP_MemHandle h = New("h", 4);
  host_.FailNthCall(Op::LockMemHandle, 2, 77);
  void* p = nullptr;
  EXPECT_EQ(mem_->AEGP_LockMemHandle(h, &p), A_Err_NONE);
  void* untouched = &p;
  EXPECT_EQ(mem_->AEGP_LockMemHandle(h, &untouched), 77);
  EXPECT_EQ(untouched, &p);
  EXPECT_EQ(host_.LockCount(h), 1);
  EXPECT_EQ(mem_->AEGP_LockMemHandle(h, &p), A_Err_NONE);
  EXPECT_EQ(host_.LockCount(h), 2);
  EXPECT_EQ(host_.CountOf(Op::LockMemHandle), 3);
  EXPECT_EQ(host_.calls()[host_.calls().size() - 2].result, 77);

  host_.NullNthNewHandle(1);
  AEGP_MemHandle none = h;
  EXPECT_EQ(mem_->AEGP_NewMemHandle(0, "x", 4, 1, &none), A_Err_NONE);
  EXPECT_EQ(none, nullptr);
  host_.NullNthLock(1);
  EXPECT_EQ(mem_->AEGP_LockMemHandle(h, &p), A_Err_NONE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(host_.LockCount(h), 2);

  host_.FailNthCall(Op::SetInSpecSize, 1, 5);
  host_.ClearFaults();
  AEIO_InSpecH spec = host_.NewInSpec();
  EXPECT_EQ(io_->AEGP_SetInSpecSize(spec, 9), A_Err_NONE);
  EXPECT_TRUE(host_.problems().empty());
}

TEST_F(HostTest, SuitesByExactNameAndVersion) {
  const SPBasicSuite* basic = host_.BasicSuite();
  const void* table = &table;
  EXPECT_EQ(basic->AcquireSuite(kAEGPMemorySuite, 2, &table), kSPSuiteNotFoundError);
  EXPECT_EQ(basic->AcquireSuite("AEGP IO In Suite", 7, &table), kSPSuiteNotFoundError);
  EXPECT_EQ(basic->AcquireSuite("aegp memory suite", 1, &table), kSPSuiteNotFoundError);
  host_.MissSuite(kPFANSISuite, 1);
  EXPECT_EQ(basic->AcquireSuite(kPFANSISuite, 1, &table), kSPSuiteNotFoundError);
  host_.NullSuite(kAEGPUtilitySuite, 7);
  EXPECT_EQ(basic->AcquireSuite(kAEGPUtilitySuite, 7, &table), kSPNoError);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(host_.OutstandingSuites(), 2);  // the fixture's two

  EXPECT_EQ(basic->ReleaseSuite(kAEGPMemorySuite, 1), kSPNoError);
  EXPECT_EQ(basic->ReleaseSuite(kAEGPIOInSuite, 5), kSPNoError);
  EXPECT_EQ(host_.OutstandingSuites(), 0);
  EXPECT_TRUE(host_.problems().empty());
  EXPECT_NE(basic->ReleaseSuite(kAEGPMemorySuite, 1), kSPNoError);
  EXPECT_TRUE(HasProblem("not acquired"));
}

TEST_F(HostTest, UnusedSlotReportsItsSuiteAndPosition) {
  // Entry 5 (ResizeMemHandle) is not among what the plug-in may call.
  using ResizeFn = A_Err (*)(const A_char*, AEGP_MemSize, AEGP_MemHandle);
  ResizeFn resize;
  std::memcpy(&resize, reinterpret_cast<const char*>(mem_) + 5 * 8, sizeof resize);
  EXPECT_NE(resize("h", 8, New("h", 4)), A_Err_NONE);
  EXPECT_TRUE(HasProblem("unused entry 5 of AEGP Memory Suite 1"));
}

TEST_F(HostTest, CallLogAndInSpecs) {
  host_.ClearCalls();
  AEIO_InSpecH spec = host_.NewInSpec();
  AEGP_MemHandle h = New("Zarn_Importer optionsH", 400, 1);
  void* old = &old;
  EXPECT_EQ(io_->AEGP_SetInSpecOptionsHandle(spec, h, &old), A_Err_NONE);
  EXPECT_EQ(old, nullptr);
  AEGP_MemHandle h2 = New("second", 4, 1);
  EXPECT_EQ(io_->AEGP_SetInSpecOptionsHandle(spec, h2, &old), A_Err_NONE);
  EXPECT_EQ(old, h);  // the previous one comes back
  void* got = nullptr;
  EXPECT_EQ(io_->AEGP_GetInSpecOptionsHandle(spec, &got), A_Err_NONE);
  EXPECT_EQ(got, h2);

  const AEIO_AlphaLabel alpha{AEIO_AlphaLabel_VERSION, AEIO_Alpha_PREMUL, 1, 2, 3, 4};
  const A_Time duration{1234, 100};
  EXPECT_EQ(io_->AEGP_SetInSpecAlphaLabel(spec, &alpha), A_Err_NONE);
  EXPECT_EQ(io_->AEGP_SetInSpecDuration(spec, &duration), A_Err_NONE);
  EXPECT_EQ(io_->AEGP_SetInSpecDimensions(spec, 320, 240), A_Err_NONE);
  EXPECT_EQ(io_->AEGP_SetInSpecDuration(spec, nullptr), A_Err_PARAMETER);

  const standin::Told& told = host_.TellsFor(spec);
  EXPECT_EQ(told.alpha_label, (std::vector<uint8_t>{0x01, 0x01, 1, 0, 0, 0, 1, 2, 3, 4}));
  ASSERT_TRUE(told.duration.has_value());
  EXPECT_EQ(told.duration->value, 1234);
  EXPECT_EQ(told.dimensions, std::make_pair(320, 240));
  EXPECT_EQ(told.order, (std::vector<Op>{Op::SetInSpecAlphaLabel, Op::SetInSpecDuration,
                                         Op::SetInSpecDimensions}));

  const std::vector<Op> ops = host_.CallOps();
  EXPECT_EQ(ops, (std::vector<Op>{Op::NewMemHandle, Op::SetInSpecOptionsHandle, Op::NewMemHandle,
                                  Op::SetInSpecOptionsHandle, Op::GetInSpecOptionsHandle,
                                  Op::SetInSpecAlphaLabel, Op::SetInSpecDuration,
                                  Op::SetInSpecDimensions, Op::SetInSpecDuration}));
  EXPECT_EQ(host_.calls()[0].text, "Zarn_Importer optionsH 400 1");
  EXPECT_EQ(host_.calls()[6].text, "spec 1 1234/100");
  EXPECT_EQ(host_.calls().back().result, A_Err_PARAMETER);
  EXPECT_TRUE(HasProblem("SetInSpecDuration with a null or invalid argument"));

  // Deleted in-specs are unknown to the suite from then on.
  host_.DeleteInSpec(spec);
  EXPECT_EQ(io_->AEGP_SetInSpecDimensions(spec, 1, 1), A_Err_PARAMETER);
}

TEST(HostRegistry, CurrentIsTheNewestLiveHost) {
  Host outer;
  EXPECT_EQ(Host::Current(), &outer);
  {
    Host inner;
    EXPECT_EQ(Host::Current(), &inner);
    const void* table = nullptr;
    ASSERT_EQ(outer.BasicSuite()->AcquireSuite(kAEGPMemorySuite, 1, &table), 0);
    EXPECT_EQ(inner.OutstandingSuites(), 1);  // the suites reach the current host
    EXPECT_EQ(outer.OutstandingSuites(), 0);
    inner.BasicSuite()->ReleaseSuite(kAEGPMemorySuite, 1);
  }
  EXPECT_EQ(Host::Current(), &outer);
}

TEST(HostUtf16, ConvertsEveryPlane) {
  struct Case {
    std::string utf8;
    std::vector<A_UTF16Char> utf16;
  };
  const std::vector<Case> cases = {
      {"", {0}},
      {"/a b.mkv", {'/', 'a', ' ', 'b', '.', 'm', 'k', 'v', 0}},
      {"\xC3\xA9", {0x00E9, 0}},                  // é
      {"\xE2\x82\xAC", {0x20AC, 0}},              // €
      {"\xF0\x9D\x84\x9E", {0xD834, 0xDD1E, 0}},  // U+1D11E, a surrogate pair
      {"a\xFF"
       "b",
       {'a', 0xFFFD, 'b', 0}},    // not UTF-8
      {"\xE2\x82", {0xFFFD, 0}},  // cut short
      {"\xC0\xAF", {0xFFFD, 0}},  // overlong '/'
  };
  for (const Case& c : cases) EXPECT_EQ(standin::ToUtf16(c.utf8), c.utf16) << c.utf8;
}

TEST(HostModule, LoadReportsWhatWentWrong) {
  std::string error;
  EXPECT_EQ(standin::Module::Load("/nonexistent/Zarn_Importer.aex", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/Zarn_Importer.aex"), std::string::npos) << error;

  // A file that is not a library at all.
  const std::string not_library = ::testing::TempDir() + "/not_a_module.aex";
  std::ofstream(not_library) << "plain text";
  error.clear();
  EXPECT_EQ(standin::Module::Load(not_library, &error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(HostModule, RegistersTheBuiltModuleCleanly) {
  zarn_test::PluginSession session;
  ASSERT_TRUE(session.ready()) << session.error;
  ASSERT_NE(session.module->entry(), nullptr);
  const standin::Registration& reg = session.host.registration();
  EXPECT_EQ(reg.result, A_Err_NONE);
  EXPECT_TRUE(reg.io_registered);
  EXPECT_EQ(reg.registered_id, 0x5A41);
  EXPECT_EQ(session.host.CallDeathHook(), A_Err_NONE);
  EXPECT_TRUE(session.Clean());
}

// A module may write a deep world only once it registered it can draw one.
TEST(HostModule, DeepWorldsAreForModulesThatCanDrawThem) {
  for (const A_u_long deep_flag : {A_u_long{0}, A_u_long{AEIO_MFlag_CAN_DRAW_DEEP}}) {
    Host host;
    const void* table = nullptr;
    ASSERT_EQ(host.BasicSuite()->AcquireSuite(kAEGPRegisterSuite, 6, &table), kSPNoError);
    AEIO_ModuleInfo info{};
    info.flags = AEIO_MFlag_INPUT | AEIO_MFlag_FILE | AEIO_MFlag_VIDEO | deep_flag;
    AEIO_FunctionBlock4 block{};
    block.AEIO_DrawSparseFrame = [](AEIO_BasicData*, AEIO_InSpecH, const AEIO_DrawSparseFramePB*,
                                    PF_EffectWorld* world, AEIO_DrawingFlags*) -> A_Err {
      reinterpret_cast<uint8_t*>(world->data)[0] ^= 0xFF;  // one pixel drawn
      return A_Err_NONE;
    };
    const auto* suite = static_cast<const AEGP_RegisterSuite5*>(table);
    ASSERT_EQ(suite->AEGP_RegisterIO(7, nullptr, &info, &block), A_Err_NONE);
    host.BasicSuite()->ReleaseSuite(kAEGPRegisterSuite, 6);
    World deep(4, 2, 0, standin::Depth::k16Bit);
    EXPECT_EQ(host.DrawFrame(host.NewInSpec(), A_Time{0, 1}, deep), A_Err_NONE);
    EXPECT_EQ(HasProblemIn(host, "wrote a deep world"), deep_flag == 0) << deep_flag;
  }
}

TEST(HostModule, MissingCallbackIsAProblemNotACrash) {
  Host host;  // nothing registered: every callback slot is null
  A_Err result = A_Err_NONE;
  AEIO_InSpecH spec = host.Import("/tmp/x.mkv", &result);
  EXPECT_NE(spec, nullptr);
  EXPECT_EQ(result, standin::kHostProblem);
  World world(2, 2);
  EXPECT_EQ(host.DrawFrame(spec, A_Time{0, 1}, world), standin::kHostProblem);
  EXPECT_TRUE(world.Untouched());
  EXPECT_EQ(host.problems().size(), 2u);
}

}  // namespace
