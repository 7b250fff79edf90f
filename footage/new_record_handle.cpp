#include "footage/new_record_handle.h"

extern "C" {
#include <libavutil/mem.h>
}

#include "footage/footage_teardown.h"
#include "host_abi/plugin_id.h"

NewRecordHandle::~NewRecordHandle() { (void)Finish(); }  // exception path: the error is in flight

A_Err NewRecordHandle::Create(const char* name) {
  A_Err err = memory_->AEGP_NewMemHandle(RegisteredPluginId(), name, sizeof(FootageOptions),
                                         AEGP_MemFlag_CLEAR, &handle_);
  if (err != A_Err_NONE) {
    handle_ = nullptr;  // a failed call leaves nothing of ours to free
    return err;
  }
  if (handle_ == nullptr) return A_Err_ALLOC;
  lock_.emplace(memory_, handle_);
  return lock_->Lock();
}

A_Err NewRecordHandle::SetPath(const std::string& path) {
  FootageOptions& options = record();
  av_freep(&options.path);
  options.path = av_strdup(path.c_str());
  return options.path != nullptr ? A_Err_NONE : A_Err_ALLOC;
}

A_Err NewRecordHandle::Finish() {
  if (handle_ == nullptr) return A_Err_NONE;
  const bool keep = handed_over_;
  if (!keep && lock_ && lock_->data() != nullptr) FreeFootage(record());
  const A_Err unlock_err = lock_ ? lock_->Unlock() : A_Err_NONE;
  AEGP_MemHandle released = handle_;
  handle_ = nullptr;
  if (keep) return unlock_err;
  if (unlock_err != A_Err_NONE) return unlock_err;
  return memory_->AEGP_FreeMemHandle(released);
}
