#include "footage/locked_record.h"

LockedRecord::LockedRecord(SuiteCache& suites, AEIO_InSpecH spec) {
  void* options = nullptr;
  error_ = suites.IOInSuite()->AEGP_GetInSpecOptionsHandle(spec, &options);
  if (error_ != A_Err_NONE || options == nullptr) return;
  handle_ = static_cast<AEGP_MemHandle>(options);
  lock_.emplace(suites.MemorySuite(), handle_);
  error_ = lock_->Lock();
}

FootageOptions* LockedRecord::get() const {
  return lock_ && lock_->locked() ? static_cast<FootageOptions*>(lock_->data()) : nullptr;
}

A_Err LockedRecord::Unlock() { return lock_ ? lock_->Unlock() : A_Err_NONE; }
