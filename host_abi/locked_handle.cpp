#include "host_abi/locked_handle.h"

LockedHandle::~LockedHandle() {
  if (locked_) (void)memory_->AEGP_UnlockMemHandle(handle_);  // already failing: nothing to add
}

A_Err LockedHandle::Lock() {
  void* locked_data = nullptr;
  const A_Err err = memory_->AEGP_LockMemHandle(handle_, &locked_data);
  if (err != A_Err_NONE) return err;
  // No memory means nothing was locked: there is nothing to unlock either.
  if (locked_data == nullptr) return A_Err_ALLOC;
  locked_ = true;
  data_ = locked_data;
  return A_Err_NONE;
}

A_Err LockedHandle::Unlock() {
  if (!locked_) return A_Err_NONE;
  locked_ = false;
  data_ = nullptr;
  return memory_->AEGP_UnlockMemHandle(handle_);
}
