#include "host/unused_entries.h"

#include <array>
#include <string>
#include <utility>

#include "host/host_state.h"

namespace standin {
namespace {

constexpr size_t kMaxSlots = 36;  // the IO In suite's version 6 is the longest

void ReportUnused(int suite, int index) {
  Host* host = Host::Current();
  if (host == nullptr) return;
  host->AddProblem(std::string("the plug-in called unused entry ") + std::to_string(index) +
                   " of " + SuiteName(static_cast<SuiteId>(suite)) + " " +
                   std::to_string(SuiteVersion(static_cast<SuiteId>(suite))));
}

// Called through whatever signature the slot has; the non-zero result tells
// a caller that reads an A_Err that the call failed.
template <int Suite, int Index>
A_Err Unused() {
  ReportUnused(Suite, Index);
  return A_Err_GENERIC;
}

template <int Suite, int... Index>
std::array<AEGP_UnusedEntry, kMaxSlots> Row(std::integer_sequence<int, Index...>) {
  return {reinterpret_cast<AEGP_UnusedEntry>(&Unused<Suite, Index>)...};
}

template <int... Suite>
auto Rows(std::integer_sequence<int, Suite...>) {
  return std::array<std::array<AEGP_UnusedEntry, kMaxSlots>, sizeof...(Suite)>{
      Row<Suite>(std::make_integer_sequence<int, kMaxSlots>())...};
}

}  // namespace

const char* SuiteName(SuiteId id) {
  switch (id) {
    case SuiteId::Register:
      return kAEGPRegisterSuite;
    case SuiteId::Utility:
      return kAEGPUtilitySuite;
    case SuiteId::ANSI:
      return kPFANSISuite;
    case SuiteId::Memory:
      return kAEGPMemorySuite;
    case SuiteId::IOIn:
      return kAEGPIOInSuite;
    case SuiteId::FillMatte:
      return kPFFillMatteSuite;
    case SuiteId::IOIn6:
      return kAEGPIOInSuite;
    case SuiteId::Count:
      break;
  }
  return "?";
}

int32_t SuiteVersion(SuiteId id) {
  switch (id) {
    case SuiteId::Register:
      return kAEGPRegisterSuiteVersion;
    case SuiteId::Utility:
      return kAEGPUtilitySuiteVersion;
    case SuiteId::ANSI:
      return kPFANSISuiteVersion;
    case SuiteId::Memory:
      return kAEGPMemorySuiteVersion;
    case SuiteId::IOIn:
      return kAEGPIOInSuiteVersion;
    case SuiteId::FillMatte:
      return kPFFillMatteSuiteVersion;
    case SuiteId::IOIn6:
      return kAEGPIOInSuiteStartTimeVersion;
    case SuiteId::Count:
      break;
  }
  return 0;
}

AEGP_UnusedEntry UnusedEntry(SuiteId id, size_t index) {
  static const auto rows =
      Rows(std::make_integer_sequence<int, static_cast<int>(SuiteId::Count)>());
  return rows.at(static_cast<size_t>(id)).at(index);
}

}  // namespace standin
