// The host failing under every callback: each host operation a callback makes
// fails in turn (learned from a counting pass), each suite it acquires is
// missing or comes back as a null table, new handles and locks come back
// null. The callback must return the host's error (516 for a suite), write
// nothing outside the host's buffers, and leave nothing behind: no live or
// locked handle, no suite out, no problem the strict host saw.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/temp_cwd.h"

namespace {

using standin::Op;
using zarn_test::PluginSession;

// FFmpeg's own messages would bury the test output.
[[maybe_unused]] const bool kQuietFfmpeg = [] {
  av_log_set_level(AV_LOG_QUIET);
  return true;
}();

constexpr A_Err kHostError = 77;
constexpr A_Err kSuiteMissing = 516;

// One footage scenario: the items a callback needs, then the callback.
struct Fixture {
  PluginSession s;
  AEIO_InSpecH spec = nullptr;    // the imported item
  AEIO_InSpecH target = nullptr;  // the item inflate fills
  AEIO_Handle flat = nullptr;     // a flattened block
  std::unique_ptr<standin::World> world;
  std::vector<float> sound;  // with guard values around the request
};

constexpr size_t kSoundGuard = 16;
constexpr float kSoundGuardValue = 3.5e7f;

struct Scenario {
  const char* name;
  const char* clip;
  std::function<void(Fixture&)> prepare;  // runs without faults
  std::function<A_Err(Fixture&)> run;     // the callback under faults
};

// Test names and failures show the scenario's name, not its bytes.
void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

void Import(Fixture& f, const char* clip) {
  A_Err err = -1;
  f.spec = f.s.Import(clip, &err);
  ASSERT_EQ(err, A_Err_NONE);
}

A_Err Draw(Fixture& f, A_Time time) {
  f.world = std::make_unique<standin::World>(320, 240, 320 * 4 + 16);
  return f.s.host.DrawFrame(f.spec, time, *f.world);
}

A_Err Sound(Fixture& f, A_Time start, A_u_long samples) {
  f.sound.assign(kSoundGuard * 2 + samples * 2, kSoundGuardValue);
  return f.s.host.GetSound(f.spec, start, 0, samples, f.sound.data() + kSoundGuard);
}

const Scenario kScenarios[] = {
    {"import", "h264_aac.mkv", [](Fixture&) {},
     [](Fixture& f) {
       A_Err err = -1;
       f.spec = f.s.Import("h264_aac.mkv", &err);
       return err;
     }},
    {"import_sound_only", "flac_44k.mkv", [](Fixture&) {},
     [](Fixture& f) {
       A_Err err = -1;
       f.spec = f.s.Import("flac_44k.mkv", &err);
       return err;
     }},
    {"info", "h264_aac.mkv", [](Fixture& f) { Import(f, "h264_aac.mkv"); },
     [](Fixture& f) {
       AEIO_Verbiage verbiage{};
       return f.s.host.GetInfo(f.spec, &verbiage);
     }},
    {"draw_picture", "h264_aac.mkv", [](Fixture& f) { Import(f, "h264_aac.mkv"); },
     [](Fixture& f) {
       return Draw(f, A_Time{3, 25});
     }},
    {"draw_after_seek", "h264_aac.mkv",
     [](Fixture& f) {
       Import(f, "h264_aac.mkv");
       ASSERT_EQ(Draw(f, A_Time{60, 25}), A_Err_NONE);
     },
     [](Fixture& f) {
       return Draw(f, A_Time{2, 25});
     }},
    {"draw_black_past_end", "h264_aac.mkv", [](Fixture& f) { Import(f, "h264_aac.mkv"); },
     [](Fixture& f) {
       return Draw(f, A_Time{100, 1});
     }},
    {"draw_without_video", "flac_44k.mkv", [](Fixture& f) { Import(f, "flac_44k.mkv"); },
     [](Fixture& f) {
       return Draw(f, A_Time{0, 1});
     }},
    {"sound", "h264_aac.mkv", [](Fixture& f) { Import(f, "h264_aac.mkv"); },
     [](Fixture& f) {
       return Sound(f, A_Time{1, 2}, 4800);
     }},
    {"sound_without_audio", "silent.mkv", [](Fixture& f) { Import(f, "silent.mkv"); },
     [](Fixture& f) {
       return Sound(f, A_Time{0, 1}, 480);
     }},
    {"flatten", "h264_aac.mkv", [](Fixture& f) { Import(f, "h264_aac.mkv"); },
     [](Fixture& f) { return f.s.host.Flatten(f.spec, &f.flat); }},
    {"inflate", "h264_aac.mkv",
     [](Fixture& f) {
       Import(f, "h264_aac.mkv");
       ASSERT_EQ(f.s.host.Flatten(f.spec, &f.flat), A_Err_NONE);
       f.target = f.s.host.NewInSpec();
     },
     [](Fixture& f) { return f.s.host.Inflate(f.target, f.flat); }},
    {"dispose", "h264_aac.mkv",
     [](Fixture& f) {
       Import(f, "h264_aac.mkv");
       ASSERT_EQ(Draw(f, A_Time{1, 25}), A_Err_NONE);
       ASSERT_EQ(Sound(f, A_Time{0, 1}, 100), A_Err_NONE);
     },
     [](Fixture& f) { return f.s.host.Dispose(f.spec); }},
};

// What a callback made of one fault.
struct Fault {
  std::string what;
  std::function<void(standin::Host&)> inject;
  A_Err expected;
  // A failed unlock or free leaves the host's handle as the host left it;
  // a failed release leaves the suite out. Those are the host's doing.
  bool host_keeps_handle = false;
  bool host_keeps_suite = false;
};

// The host taking back a lock its own failed unlock left on a handle.
void ForceUnlock(standin::Host& host, AEGP_MemHandle handle) {
  const void* table = nullptr;
  if (host.BasicSuite()->AcquireSuite(kAEGPMemorySuite, kAEGPMemorySuiteVersion, &table) != 0) {
    return;
  }
  const auto* memory = static_cast<const AEGP_MemorySuite1*>(table);
  while (host.LockCount(handle) > 0 && memory->AEGP_UnlockMemHandle(handle) == A_Err_NONE) {
  }
  host.BasicSuite()->ReleaseSuite(kAEGPMemorySuite, kAEGPMemorySuiteVersion);
}

// Ends the scenario as the host would: blocks freed, items disposed. A handle
// the host left locked (its own unlock failed) is unlocked first, so that
// whatever the record still owns is released and counted.
void Finish(Fixture& f, bool check_clean) {
  standin::Host& host = f.s.host;
  host.ClearFaults();
  auto live = [&](void* h) { return h != nullptr && host.IsLive(static_cast<AEGP_MemHandle>(h)); };
  if (live(f.flat)) {
    ForceUnlock(host, static_cast<AEGP_MemHandle>(f.flat));
    host.FreeHandle(static_cast<AEGP_MemHandle>(f.flat));
  }
  for (AEIO_InSpecH item : {f.spec, f.target}) {
    if (item == nullptr) continue;
    AEGP_MemHandle options = host.OptionsHandle(item);
    if (live(options)) {
      ForceUnlock(host, options);
      EXPECT_EQ(host.Dispose(item), A_Err_NONE) << "dispose after the fault";
    }
    host.DeleteInSpec(item);
  }
  if (check_clean) {
    EXPECT_TRUE(f.s.Clean());
  }
}

void CheckBuffers(const Fixture& f) {
  if (f.world) {
    EXPECT_TRUE(f.world->GuardsIntact()) << "frame buffer guards";
  }
  if (!f.sound.empty()) {
    for (size_t g = 0; g < kSoundGuard; ++g) {
      EXPECT_EQ(f.sound[g], kSoundGuardValue) << "sound written before the buffer";
      EXPECT_EQ(f.sound[f.sound.size() - 1 - g], kSoundGuardValue) << "sound written past it";
    }
    // Written whole, or (when the fault kept the record out of reach, so
    // the buffer's size is not known) not at all.
    size_t unwritten = 0;
    for (size_t i = kSoundGuard; i < f.sound.size() - kSoundGuard; ++i) {
      if (!std::isfinite(f.sound[i]) || f.sound[i] == kSoundGuardValue) ++unwritten;
    }
    if (unwritten != 0 && unwritten != f.sound.size() - 2 * kSoundGuard) {
      ADD_FAILURE() << unwritten << " sound samples left unwritten";
    }
  }
}

struct Counted {
  A_Err result;
  std::map<Op, int> counts;
  std::vector<std::pair<std::string, int32_t>> suites;  // acquired, in order
};

const Op kOps[] = {Op::AcquireSuite,
                   Op::ReleaseSuite,
                   Op::AnsiStrcpy,
                   Op::NewMemHandle,
                   Op::FreeMemHandle,
                   Op::LockMemHandle,
                   Op::UnlockMemHandle,
                   Op::GetInSpecOptionsHandle,
                   Op::SetInSpecOptionsHandle,
                   Op::SetInSpecSize,
                   Op::SetInSpecDuration,
                   Op::SetInSpecDepth,
                   Op::SetInSpecDimensions,
                   Op::SetInSpecNativeFPS,
                   Op::SetInSpecAlphaLabel,
                   Op::SetInSpecInterlaceLabel,
                   Op::SetInSpecSoundRate,
                   Op::SetInSpecSoundEncoding,
                   Op::SetInSpecSoundSampleSize,
                   Op::SetInSpecSoundChannels,
                   Op::Fill};

// The suite names as the host logs them: "<name> <version>".
std::pair<std::string, int32_t> SuiteOf(const std::string& text) {
  const size_t space = text.rfind(' ');
  return {text.substr(0, space), std::stoi(text.substr(space + 1))};
}

Counted CountingPass(const Scenario& scenario) {
  Fixture f;
  EXPECT_TRUE(f.s.ready()) << f.s.error;
  scenario.prepare(f);
  std::map<Op, int> before;
  for (Op op : kOps) before[op] = f.s.host.CountOf(op);
  f.s.host.ClearCalls();
  Counted counted;
  counted.result = scenario.run(f);
  for (Op op : kOps) counted.counts[op] = f.s.host.CountOf(op) - before[op];
  std::set<std::pair<std::string, int32_t>> seen;
  for (const standin::Call& call : f.s.host.calls()) {
    if (call.op == Op::AcquireSuite && seen.insert(SuiteOf(call.text)).second) {
      counted.suites.push_back(SuiteOf(call.text));
    }
  }
  CheckBuffers(f);
  Finish(f, true);
  return counted;
}

std::vector<Fault> FaultsFor(const Counted& counted) {
  std::vector<Fault> faults;
  for (Op op : kOps) {
    for (int n = 1; n <= counted.counts.at(op); ++n) {
      Fault fault;
      fault.what = std::string(standin::OpName(op)) + " #" + std::to_string(n) + " fails";
      fault.inject = [op, n](standin::Host& host) { host.FailNthCall(op, n, kHostError); };
      switch (op) {
        case Op::AcquireSuite:
          fault.expected = kSuiteMissing;
          break;
        // Their results are not looked at: a release cannot be undone, the
        // black fill is best effort, and the information lines are fixed
        // texts the host shows as it can.
        case Op::ReleaseSuite:
          fault.expected = counted.result;
          fault.host_keeps_suite = true;
          break;
        case Op::Fill:
        case Op::AnsiStrcpy:
          fault.expected = counted.result;
          break;
        case Op::UnlockMemHandle:
        case Op::FreeMemHandle:
          fault.expected = kHostError;
          fault.host_keeps_handle = true;
          break;
        default:
          fault.expected = kHostError;
      }
      faults.push_back(fault);
    }
  }
  for (int n = 1; n <= counted.counts.at(Op::NewMemHandle); ++n) {
    faults.push_back({"NewMemHandle #" + std::to_string(n) + " gives no handle",
                      [n](standin::Host& host) { host.NullNthNewHandle(n); }, A_Err_ALLOC});
  }
  for (int n = 1; n <= counted.counts.at(Op::LockMemHandle); ++n) {
    faults.push_back({"LockMemHandle #" + std::to_string(n) + " gives no memory",
                      [n](standin::Host& host) { host.NullNthLock(n); }, A_Err_ALLOC});
  }
  for (const auto& [name, version] : counted.suites) {
    faults.push_back({name + " " + std::to_string(version) + " missing",
                      [name, version](standin::Host& host) { host.MissSuite(name, version); },
                      kSuiteMissing});
    faults.push_back({name + " " + std::to_string(version) + " null table",
                      [name, version](standin::Host& host) { host.NullSuite(name, version); },
                      kSuiteMissing});
  }
  return faults;
}

class HostFault : public ::testing::TestWithParam<Scenario> {};

TEST_P(HostFault, EveryHostFailureIsReturnedAndLeavesNothing) {
  const Scenario& scenario = GetParam();
  zarn_test::TempCwd cwd;
  const Counted counted = CountingPass(scenario);
  ASSERT_EQ(counted.result, A_Err_NONE) << "the callback fails without any fault";
  const std::vector<Fault> faults = FaultsFor(counted);
  ASSERT_FALSE(faults.empty());
  std::printf("%s: %zu faults\n", scenario.name, faults.size());
  for (const Fault& fault : faults) {
    SCOPED_TRACE(std::string(scenario.name) + ": " + fault.what);
    Fixture f;
    ASSERT_TRUE(f.s.ready()) << f.s.error;
    scenario.prepare(f);
    fault.inject(f.s.host);
    EXPECT_EQ(scenario.run(f), fault.expected);
    CheckBuffers(f);
    // Whatever the host kept, the plug-in itself must have released its
    // suites and caused no problem.
    if (!fault.host_keeps_suite) {
      EXPECT_EQ(f.s.host.OutstandingSuites(), 0);
    }
    EXPECT_TRUE(f.s.host.problems().empty())
        << (f.s.host.problems().empty() ? "" : f.s.host.problems().front());
    Finish(f, !fault.host_keeps_handle && !fault.host_keeps_suite);
  }
}

INSTANTIATE_TEST_SUITE_P(Callbacks, HostFault, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

// Basic data without a basic suite, or none at all: 516 from every callback
// about a footage item, and the host's buffers untouched.
TEST(HostFaultBasicData, NoBasicSuiteGives516Everywhere) {
  zarn_test::TempCwd cwd;
  Fixture f;
  ASSERT_TRUE(f.s.ready()) << f.s.error;
  Import(f, "h264_aac.mkv");
  const AEIO_FunctionBlock4& cb = f.s.host.callbacks();
  for (bool null_data : {false, true}) {
    SCOPED_TRACE(null_data ? "null basic data" : "no basic suite");
    auto data = [&] { return null_data ? nullptr : f.s.host.BasicData(true); };
    standin::World world(16, 16);
    EXPECT_EQ(cb.AEIO_DrawSparseFrame(data(), f.spec, nullptr, world.get(), nullptr),
              kSuiteMissing);
    EXPECT_TRUE(world.Untouched());
    std::vector<float> sound(64, 1.0f);
    const A_Time start{0, 1};
    EXPECT_EQ(cb.AEIO_GetSound(data(), f.spec, 1, nullptr, &start, nullptr, 0, 32, sound.data()),
              kSuiteMissing);
    AEIO_Handle flat = nullptr;
    EXPECT_EQ(cb.AEIO_FlattenOptions(data(), f.spec, &flat), kSuiteMissing);
    EXPECT_EQ(flat, nullptr);
    AEIO_Verbiage verbiage{};
    EXPECT_EQ(cb.AEIO_GetInSpecInfo(data(), f.spec, &verbiage), kSuiteMissing);
    AEIO_InSpecH other = f.s.host.NewInSpec();
    const std::vector<A_UTF16Char> path = standin::ToUtf16(zarn_test::MediaPath("h264_aac.mkv"));
    EXPECT_EQ(cb.AEIO_InitInSpecFromFile(data(), path.data(), other), kSuiteMissing);
    EXPECT_EQ(f.s.host.OptionsHandle(other), nullptr);
    const AEGP_MemHandle block = f.s.host.NewHandle("block", std::vector<uint8_t>(1024, 0));
    EXPECT_EQ(cb.AEIO_InflateOptions(data(), other, block), kSuiteMissing);
    EXPECT_EQ(f.s.host.OptionsHandle(other), nullptr);
    f.s.host.FreeHandle(block);
    f.s.host.DeleteInSpec(other);
    EXPECT_EQ(cb.AEIO_DisposeInSpec(data(), f.spec), kSuiteMissing);
  }
  Finish(f, true);
}

}  // namespace
