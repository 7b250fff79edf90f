// A host memory handle locked for part of one callback. Only a lock the host
// granted is ever unlocked, so a failed lock never unbalances the handle.
// Unlock() reports the unlock's error; the destructor unlocks quietly on the
// way out of an exception.
#pragma once

#include "host_abi/host_api.h"

class LockedHandle {
 public:
  LockedHandle(const AEGP_MemorySuite1* memory, AEGP_MemHandle handle)
      : memory_(memory), handle_(handle) {}
  LockedHandle(const LockedHandle&) = delete;
  LockedHandle& operator=(const LockedHandle&) = delete;
  ~LockedHandle();

  // The host's error, or A_Err_ALLOC when it answered success with no memory
  // (taken as no lock at all).
  A_Err Lock();
  void* data() const { return data_; }
  bool locked() const { return locked_; }
  // 0 when nothing is locked.
  A_Err Unlock();

 private:
  const AEGP_MemorySuite1* memory_;
  AEGP_MemHandle handle_;
  void* data_ = nullptr;
  bool locked_ = false;
};

// The first error wins: `next` counts only while `result` is still 0.
inline A_Err FirstError(A_Err result, A_Err next) { return result != A_Err_NONE ? result : next; }

// Callbacks reach their suites through the basic data; missing basic data is
// treated like a missing basic suite (the suite cache then raises 516).
inline const SPBasicSuite* BasicSuiteOf(const AEIO_BasicData* basic_data) {
  return basic_data != nullptr ? basic_data->pica_basicP : nullptr;
}
