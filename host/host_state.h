// The stand-in host's internal state, shared by the files of host/. Not for
// tests: they use standin_host.h.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/standin_host.h"

namespace standin {

inline constexpr size_t kOpCount = static_cast<size_t>(Op::SetInSpecNativeDisplayDropFrame) + 1;
// The id the host writes in RegisterWithAEGP.
inline constexpr AEGP_PluginID kRegisteredId = 0x5A41;
// The init-func API version the host passes to the entry point.
inline constexpr A_long kDriverMajor = 1;
inline constexpr A_long kDriverMinor = 9;

// A memory handle: the handle value is the address of `master`, which points
// at the data, as with a classic relocatable handle. Records are never
// deleted before the host, so a freed handle's address is never reused and a
// double free is always recognised.
struct HandleRecord {
  void* master = nullptr;
  std::unique_ptr<uint8_t[]> data;  // exactly `size` bytes, so ASan sees overruns
  AEGP_MemSize size = 0;
  std::string name;
  int locks = 0;
  bool live = true;
  bool made_by_plugin = true;
  size_t number = 0;  // its place in `handles`
};

// An in-spec (footage item): the handle is the address of `master`.
struct InSpecRecord {
  void* master = nullptr;
  int number = 0;
  bool live = true;
  void* options = nullptr;  // the options handle last set
  Told told;
};

struct Fault {
  enum class Kind { Fail, Null };
  Op op;
  int at;  // the op's call count at which it fires
  Kind kind;
  A_Err err;
};

using SuiteKey = std::pair<std::string, int32_t>;

struct Host::State {
  explicit State(Host* owner) : host(owner) {}

  Host* host;
  std::mutex mutex;  // guards everything below and the Host's logs

  std::map<SuiteKey, int> outstanding;  // acquisitions not yet released
  std::set<SuiteKey> missing;
  std::set<SuiteKey> nulled;

  std::vector<Fault> faults;
  std::array<int, kOpCount> counts{};

  std::vector<std::unique_ptr<HandleRecord>> handles;  // freed ones stay, to catch their use
  std::unordered_map<const void*, HandleRecord*> handle_index;
  // The live ones in the order they were made: the leak and lock checks run
  // after every call of a long fuzzing run, over thousands of freed records.
  std::map<size_t, HandleRecord*> live_handles;
  std::vector<std::unique_ptr<InSpecRecord>> specs;
  std::unordered_map<const void*, InSpecRecord*> spec_index;

  bool keep_calls = true;
  AEGP_PluginID entry_id = 7;
  void* io_refcon = nullptr;
  AEGP_GlobalRefcon global_refcon = nullptr;  // what the entry point left in its slot
  AEGP_DeathRefcon death_refcon = nullptr;
  SoundTrackChooser sound_track_chooser;  // empty: the suite is not offered

  // All below: the caller holds `mutex`.
  // Counts one call of `op`; returns the fault planned for this call, if any.
  std::optional<Fault> Enter(Op op);
  // Appends the call to the log and returns `result`.
  A_Err Log(Op op, std::string text, A_Err result);
  void Problem(std::string text);
  Registration& registration() { return host->registration_; }
  AEIO_BasicData MakeBasicData(bool without_suite) const;

  HandleRecord* FindHandle(const void* handle);  // live or freed; null if never made here
  HandleRecord* NewRecord(const std::string& name, size_t size, bool by_plugin);
  std::string HandleText(const void* handle);
  InSpecRecord* FindSpec(const void* spec);  // live only
  std::string SpecText(const void* spec);

  static AEGP_MemHandle HandleOf(HandleRecord* record) {
    return reinterpret_cast<AEGP_MemHandle>(&record->master);
  }
};

// Runs a suite function's body against the current host with its lock held.
// No exception leaves: the suites are C tables called from the plug-in.
template <typename Result, typename Body>
Result WithHost(Result no_host, Body&& body) noexcept {
  Host* host = Host::Current();
  if (host == nullptr) return no_host;
  try {
    Host::State& state = host->state();
    std::lock_guard<std::mutex> lock(state.mutex);
    return body(state);
  } catch (...) {
    return no_host;
  }
}

// The suite tables handed out by AcquireSuite, filled once.
const AEGP_RegisterSuite5* RegisterSuiteTable();
const AEGP_UtilitySuite3* UtilitySuiteTable();
const PF_ANSICallbacksSuite1* ANSISuiteTable();
const AEGP_MemorySuite1* MemorySuiteTable();
const AEGP_IOInSuite4* IOInSuiteTable();
const AEGP_IOInSuite5* IOInSuite6Table();
const PF_FillMatteSuite2* FillMatteSuiteTable();
// "Zarn Sound Track Suite" 1, offered while a chooser is set.
const void* SoundTrackSuiteTable();

// The plug-in's message callback in AEIO_BasicData.
void MessageFunc(A_Err err, const char* msg);

}  // namespace standin
