// The basic suite: hands out the seven suite tables by name and version and
// keeps count of what is acquired and not yet released.
#include <cstring>

#include "host/host_state.h"
#include "host/unused_entries.h"
#include "host_abi/sound_track_suite.h"

namespace standin {
namespace {

constexpr SPErr kSPBadParameterError = 0x5061726D;  // 'Parm'

const void* TableFor(const std::string& name, int32_t version) {
  struct Entry {
    SuiteId id;
    const void* (*table)();
  };
  static const Entry kEntries[] = {
      {SuiteId::Register, [] { return static_cast<const void*>(RegisterSuiteTable()); }},
      {SuiteId::Utility, [] { return static_cast<const void*>(UtilitySuiteTable()); }},
      {SuiteId::ANSI, [] { return static_cast<const void*>(ANSISuiteTable()); }},
      {SuiteId::Memory, [] { return static_cast<const void*>(MemorySuiteTable()); }},
      {SuiteId::IOIn, [] { return static_cast<const void*>(IOInSuiteTable()); }},
      {SuiteId::FillMatte, [] { return static_cast<const void*>(FillMatteSuiteTable()); }},
      {SuiteId::IOIn6, [] { return static_cast<const void*>(IOInSuite6Table()); }},
  };
  for (const Entry& entry : kEntries) {
    if (name == SuiteName(entry.id) && version == SuiteVersion(entry.id)) return entry.table();
  }
  return nullptr;
}

std::string SuiteText(const char* name, int32_t version) {
  return std::string(name ? name : "(null)") + " " + std::to_string(version);
}

SPErr AcquireSuite(const char* name, int32_t version, const void** suite) {
  return WithHost<SPErr>(kSPSuiteNotFoundError, [&](Host::State& s) -> SPErr {
    std::string text = SuiteText(name, version);
    if (auto fault = s.Enter(Op::AcquireSuite)) return s.Log(Op::AcquireSuite, text, fault->err);
    if (name == nullptr || suite == nullptr) {
      s.Problem("AcquireSuite without a name or an out table: " + text);
      return s.Log(Op::AcquireSuite, text, kSPBadParameterError);
    }
    const SuiteKey key{name, version};
    const void* table = TableFor(name, version);
    if (table == nullptr && s.sound_track_chooser && std::strcmp(name, kZarnSoundTrackSuite) == 0 &&
        version == kZarnSoundTrackSuiteVersion) {
      table = SoundTrackSuiteTable();
    }
    if (table == nullptr || s.missing.count(key)) {
      return s.Log(Op::AcquireSuite, text, kSPSuiteNotFoundError);
    }
    if (s.nulled.count(key)) {
      // A broken host: success with no table. Nothing is held, so nothing
      // is to be released.
      *suite = nullptr;
      return s.Log(Op::AcquireSuite, text, kSPNoError);
    }
    *suite = table;
    ++s.outstanding[key];
    return s.Log(Op::AcquireSuite, text, kSPNoError);
  });
}

SPErr ReleaseSuite(const char* name, int32_t version) {
  return WithHost<SPErr>(kSPBadParameterError, [&](Host::State& s) -> SPErr {
    std::string text = SuiteText(name, version);
    if (auto fault = s.Enter(Op::ReleaseSuite)) return s.Log(Op::ReleaseSuite, text, fault->err);
    auto it = name ? s.outstanding.find({name, version}) : s.outstanding.end();
    if (it == s.outstanding.end() || it->second == 0) {
      s.Problem("ReleaseSuite of " + text + ", which is not acquired");
      return s.Log(Op::ReleaseSuite, text, kSPBadParameterError);
    }
    if (--it->second == 0) s.outstanding.erase(it);
    return s.Log(Op::ReleaseSuite, text, kSPNoError);
  });
}

SPBoolean IsEqual(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

// The block allocator is not among what the plug-in uses: any call is a
// problem, answered with an error.
void ReportBasic(const char* what) {
  if (Host* host = Host::Current()) {
    host->AddProblem(std::string("the plug-in called the basic suite's ") + what);
  }
}
SPErr AllocateBlock(size_t, void**) {
  ReportBasic("AllocateBlock");
  return kSPBadParameterError;
}
SPErr FreeBlock(void*) {
  ReportBasic("FreeBlock");
  return kSPBadParameterError;
}
SPErr ReallocateBlock(void*, size_t, void**) {
  ReportBasic("ReallocateBlock");
  return kSPBadParameterError;
}
SPErr Undefined() {
  ReportBasic("Undefined entry");
  return kSPBadParameterError;
}

const SPBasicSuite kBasicSuite = {&AcquireSuite, &ReleaseSuite,    &IsEqual,  &AllocateBlock,
                                  &FreeBlock,    &ReallocateBlock, &Undefined};

}  // namespace

const SPBasicSuite* Host::BasicSuite() const { return &kBasicSuite; }

int Host::OutstandingSuites() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  int total = 0;
  for (const auto& [key, count] : state_->outstanding) total += count;
  return total;
}

}  // namespace standin
