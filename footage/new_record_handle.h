// A fresh options handle made by import or inflate: created zero-filled under
// the registered plug-in id, locked, holding one FootageOptions record. Until
// HandedOver() the callback owns it, and Finish() (or the destructor, on the
// way out of an exception) releases everything: the record's FFmpeg objects
// while still locked, then the lock, then the handle. After HandedOver() the
// host owns it and Finish() only unlocks.
#pragma once

#include <optional>
#include <string>

#include "footage/footage_options.h"
#include "host_abi/host_api.h"
#include "host_abi/locked_handle.h"

class NewRecordHandle {
 public:
  explicit NewRecordHandle(const AEGP_MemorySuite1* memory) : memory_(memory) {}
  NewRecordHandle(const NewRecordHandle&) = delete;
  NewRecordHandle& operator=(const NewRecordHandle&) = delete;
  ~NewRecordHandle();

  // AEGP_NewMemHandle then AEGP_LockMemHandle. A null handle or pointer from
  // the host is A_Err_ALLOC.
  A_Err Create(const char* name);
  AEGP_MemHandle handle() const { return handle_; }
  // Valid after Create returned 0, until Finish.
  FootageOptions& record() const { return *static_cast<FootageOptions*>(lock_->data()); }
  // Stores a copy of the path in the record (A_Err_ALLOC when out of memory).
  A_Err SetPath(const std::string& path);
  // The host has taken the handle as an in-spec's options.
  void HandedOver() { handed_over_ = true; }
  // Ends the callback's use; returns the unlock's error, else the free's. A
  // handle whose unlock failed is not freed: the host still holds it locked.
  A_Err Finish();

 private:
  const AEGP_MemorySuite1* memory_;
  AEGP_MemHandle handle_ = nullptr;
  std::optional<LockedHandle> lock_;
  bool handed_over_ = false;
};
