// One callback's hold on its footage record: the item's options handle,
// locked in host memory for the callback. The first thing every callback
// on an existing item does; ItemUse (footage/item_registry.h) then takes the
// record's item.
#pragma once

#include <optional>

#include "footage/footage_options.h"
#include "host_abi/locked_handle.h"
#include "host_abi/suite_cache.h"

class LockedRecord {
 public:
  LockedRecord(SuiteCache& suites, AEIO_InSpecH spec);
  LockedRecord(const LockedRecord&) = delete;
  LockedRecord& operator=(const LockedRecord&) = delete;

  // The host's error from fetching or locking the handle.
  A_Err error() const { return error_; }
  // The record; null when the item has no options or on an error.
  FootageOptions* get() const;
  AEGP_MemHandle handle() const { return handle_; }
  // Gives the handle back; the host's error, 0 when nothing was locked.
  A_Err Unlock();

 private:
  AEGP_MemHandle handle_ = nullptr;
  std::optional<LockedHandle> lock_;
  A_Err error_ = A_Err_NONE;
};
