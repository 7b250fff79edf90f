#include "host_abi/suite_cache.h"

#include <iterator>
#include <type_traits>

namespace {

struct SuiteId {
  const char* name;
  int32_t version;
};

// The order of this table is the release order; a table slot's index is its
// position here.
constexpr SuiteId kSuites[] = {
    {kAEGPRegisterSuite, kAEGPRegisterSuiteVersion},      // 0
    {kAEGPMemorySuite, kAEGPMemorySuiteVersion},          // 1
    {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion},        // 2
    {kPFANSISuite, kPFANSISuiteVersion},                  // 3
    {kPFFillMatteSuite, kPFFillMatteSuiteVersion},        // 4
    {kAEGPIOInSuite, kAEGPIOInSuiteVersion},              // 5
    {kAEGPIOInSuite, kAEGPIOInSuiteStartTimeVersion},     // 6
    {kZarnSoundTrackSuite, kZarnSoundTrackSuiteVersion},  // 7
};
enum SuiteIndex {
  kRegister,
  kMemory,
  kUtility,
  kANSI,
  kFillMatte,
  kIOIn,
  kIOInStartTime,
  kSoundTrack
};

}  // namespace

SuiteCache::SuiteCache(const SPBasicSuite* basic) : basic_(basic) {
  if (!basic_) throw SuiteMissing{};
}

SuiteCache::~SuiteCache() {
  static_assert(std::size(kSuites) == std::extent_v<decltype(tables_)>);
  for (size_t i = 0; i < std::size(kSuites); ++i) {
    // A release failure changes nothing for the plug-in.
    if (tables_[i]) (void)basic_->ReleaseSuite(kSuites[i].name, kSuites[i].version);
  }
}

const void* SuiteCache::Acquire(int index) {
  const void* table = TryAcquire(index);
  if (!table) throw SuiteMissing{};
  return table;
}

const void* SuiteCache::TryAcquire(int index) {
  if (tables_[index]) return tables_[index];
  const void* table = nullptr;
  const SuiteId& id = kSuites[index];
  // A success without a table holds nothing to release.
  if (basic_->AcquireSuite(id.name, id.version, &table) != kSPNoError || !table) return nullptr;
  tables_[index] = table;
  return table;
}

const AEGP_RegisterSuite5* SuiteCache::RegisterSuite() {
  return static_cast<const AEGP_RegisterSuite5*>(Acquire(kRegister));
}
const AEGP_UtilitySuite3* SuiteCache::UtilitySuite() {
  return static_cast<const AEGP_UtilitySuite3*>(Acquire(kUtility));
}
const PF_ANSICallbacksSuite1* SuiteCache::ANSISuite() {
  return static_cast<const PF_ANSICallbacksSuite1*>(Acquire(kANSI));
}
const AEGP_MemorySuite1* SuiteCache::MemorySuite() {
  return static_cast<const AEGP_MemorySuite1*>(Acquire(kMemory));
}
const AEGP_IOInSuite4* SuiteCache::IOInSuite() {
  return static_cast<const AEGP_IOInSuite4*>(Acquire(kIOIn));
}
const AEGP_IOInSuite5* SuiteCache::IOInSuiteWithStartTime() {
  return static_cast<const AEGP_IOInSuite5*>(TryAcquire(kIOInStartTime));
}
const PF_FillMatteSuite2* SuiteCache::FillMatteSuite() {
  return static_cast<const PF_FillMatteSuite2*>(Acquire(kFillMatte));
}
const ZarnSoundTrackSuite1* SuiteCache::SoundTrackSuite() {
  return static_cast<const ZarnSoundTrackSuite1*>(TryAcquire(kSoundTrack));
}
