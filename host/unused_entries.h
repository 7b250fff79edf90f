// Table slots the plug-in never calls still hold a function: one that records
// a problem naming the suite and slot, so a call through a wrong position is
// reported instead of crashing.
#pragma once

#include <cstddef>
#include <cstring>

#include "host_abi/host_api.h"

namespace standin {

enum class SuiteId { Register, Utility, ANSI, Memory, IOIn, FillMatte, IOIn6, Count };

const char* SuiteName(SuiteId id);
int32_t SuiteVersion(SuiteId id);

// The reporting function for slot `index` of suite `id`.
AEGP_UnusedEntry UnusedEntry(SuiteId id, size_t index);

// Points every slot of `table` at its reporting function; the caller then
// sets the entries the host implements.
template <typename Table>
void FillWithUnused(Table* table, SuiteId id) {
  static_assert(sizeof(Table) % sizeof(AEGP_UnusedEntry) == 0);
  auto* bytes = reinterpret_cast<unsigned char*>(table);
  for (size_t i = 0; i < sizeof(Table) / sizeof(AEGP_UnusedEntry); ++i) {
    AEGP_UnusedEntry entry = UnusedEntry(id, i);
    std::memcpy(bytes + i * sizeof entry, &entry, sizeof entry);
  }
}

}  // namespace standin
