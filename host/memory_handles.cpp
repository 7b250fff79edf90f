// Memory handles: the Memory suite the plug-in calls and the host's own view
// of the same handles for leak and lock checks.
#include <cstring>
#include <new>

#include "host/host_state.h"
#include "host/unused_entries.h"

namespace standin {

// What a handle allocated without the clear flag starts with: not zero, so a
// plug-in that relies on zero-fill without asking for it is caught.
inline constexpr uint8_t kUnclearedByte = 0xCD;

HandleRecord* Host::State::FindHandle(const void* handle) {
  auto it = handle_index.find(handle);
  return it == handle_index.end() ? nullptr : it->second;
}

HandleRecord* Host::State::NewRecord(const std::string& name, size_t size, bool by_plugin) {
  auto record = std::make_unique<HandleRecord>();
  record->data.reset(new uint8_t[size]);
  record->master = record->data.get();
  record->size = static_cast<AEGP_MemSize>(size);
  record->name = name;
  record->made_by_plugin = by_plugin;
  HandleRecord* raw = record.get();
  raw->number = handles.size();
  handles.push_back(std::move(record));
  handle_index[HandleOf(raw)] = raw;
  live_handles[raw->number] = raw;
  return raw;
}

std::string Host::State::HandleText(const void* handle) {
  if (handle == nullptr) return "null";
  HandleRecord* record = FindHandle(handle);
  return record ? record->name : "unknown handle";
}

namespace {

A_Err NewMemHandle(AEGP_PluginID plugin_id, const A_char* what, AEGP_MemSize size,
                   AEGP_MemFlag flags, AEGP_MemHandle* out) {
  return WithHost<A_Err>(A_Err_ALLOC, [&](Host::State& s) {
    const Op op = Op::NewMemHandle;
    std::string name = what ? what : "";
    std::string text = name + " " + std::to_string(size) + " " + std::to_string(flags);
    auto fault = s.Enter(op);
    if (fault && fault->kind == Fault::Kind::Fail) return s.Log(op, text, fault->err);
    if (out == nullptr) {
      s.Problem("AEGP_NewMemHandle without an out handle: " + text);
      return s.Log(op, text, A_Err_PARAMETER);
    }
    if (fault) {
      *out = nullptr;
      return s.Log(op, text, A_Err_NONE);
    }
    const Registration& reg = s.registration();
    if (reg.name_registered && plugin_id != reg.registered_id) {
      s.Problem("AEGP_NewMemHandle with plug-in id " + std::to_string(plugin_id) +
                " instead of the registered id " + std::to_string(reg.registered_id));
    }
    HandleRecord* record;
    try {
      record = s.NewRecord(name, size, true);
    } catch (const std::bad_alloc&) {
      return s.Log(op, text, A_Err_ALLOC);
    }
    std::memset(record->data.get(), (flags & AEGP_MemFlag_CLEAR) ? 0 : kUnclearedByte, size);
    *out = Host::State::HandleOf(record);
    return s.Log(op, text, A_Err_NONE);
  });
}

// Finds a live handle for an operation; records the problem otherwise.
HandleRecord* LiveHandle(Host::State& s, AEGP_MemHandle handle, const char* what) {
  HandleRecord* record = s.FindHandle(handle);
  if (record == nullptr) {
    s.Problem(std::string(what) + " of an unknown handle");
    return nullptr;
  }
  if (!record->live) {
    s.Problem(std::string(what) + " of freed handle '" + record->name + "'" +
              (std::strcmp(what, "AEGP_FreeMemHandle") == 0 ? " (double free)" : ""));
    return nullptr;
  }
  return record;
}

A_Err FreeMemHandle(AEGP_MemHandle handle) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    const Op op = Op::FreeMemHandle;
    std::string text = s.HandleText(handle);
    if (auto fault = s.Enter(op)) return s.Log(op, text, fault->err);
    HandleRecord* record = LiveHandle(s, handle, "AEGP_FreeMemHandle");
    if (record == nullptr) return s.Log(op, text, A_Err_PARAMETER);
    if (record->locks > 0) {
      s.Problem("AEGP_FreeMemHandle of locked handle '" + record->name + "'");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    record->live = false;
    record->master = nullptr;
    record->data.reset();
    s.live_handles.erase(record->number);
    return s.Log(op, text, A_Err_NONE);
  });
}

A_Err LockMemHandle(AEGP_MemHandle handle, void** out) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    const Op op = Op::LockMemHandle;
    std::string text = s.HandleText(handle);
    auto fault = s.Enter(op);
    if (fault && fault->kind == Fault::Kind::Fail) return s.Log(op, text, fault->err);
    HandleRecord* record = LiveHandle(s, handle, "AEGP_LockMemHandle");
    if (record == nullptr) return s.Log(op, text, A_Err_PARAMETER);
    if (out == nullptr) {
      s.Problem("AEGP_LockMemHandle without an out pointer");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    if (fault) {
      // A null pointer with success: the handle is not counted as locked.
      *out = nullptr;
      return s.Log(op, text, A_Err_NONE);
    }
    ++record->locks;
    *out = record->master;
    return s.Log(op, text, A_Err_NONE);
  });
}

A_Err UnlockMemHandle(AEGP_MemHandle handle) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    const Op op = Op::UnlockMemHandle;
    std::string text = s.HandleText(handle);
    if (auto fault = s.Enter(op)) return s.Log(op, text, fault->err);
    HandleRecord* record = LiveHandle(s, handle, "AEGP_UnlockMemHandle");
    if (record == nullptr) return s.Log(op, text, A_Err_PARAMETER);
    if (record->locks == 0) {
      s.Problem("AEGP_UnlockMemHandle of handle '" + record->name + "', which is not locked");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    --record->locks;
    return s.Log(op, text, A_Err_NONE);
  });
}

A_Err GetMemHandleSize(AEGP_MemHandle handle, AEGP_MemSize* size) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    const Op op = Op::GetMemHandleSize;
    std::string text = s.HandleText(handle);
    if (auto fault = s.Enter(op)) return s.Log(op, text, fault->err);
    HandleRecord* record = LiveHandle(s, handle, "AEGP_GetMemHandleSize");
    if (record == nullptr) return s.Log(op, text, A_Err_PARAMETER);
    if (size == nullptr) {
      s.Problem("AEGP_GetMemHandleSize without an out pointer");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    *size = static_cast<AEGP_MemSize>(record->size);
    return s.Log(op, text, A_Err_NONE);
  });
}

}  // namespace

const AEGP_MemorySuite1* MemorySuiteTable() {
  static const AEGP_MemorySuite1 table = [] {
    AEGP_MemorySuite1 t;
    FillWithUnused(&t, SuiteId::Memory);
    t.AEGP_NewMemHandle = &NewMemHandle;
    t.AEGP_FreeMemHandle = &FreeMemHandle;
    t.AEGP_LockMemHandle = &LockMemHandle;
    t.AEGP_UnlockMemHandle = &UnlockMemHandle;
    t.AEGP_GetMemHandleSize = &GetMemHandleSize;
    return t;
  }();
  return &table;
}

// ---- the host's own side

AEGP_MemHandle Host::NewHandle(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  HandleRecord* record = state_->NewRecord(name, bytes.size(), false);
  if (!bytes.empty()) std::memcpy(record->data.get(), bytes.data(), bytes.size());
  return State::HandleOf(record);
}

std::vector<uint8_t> Host::HandleBytes(AEGP_MemHandle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  HandleRecord* record = state_->FindHandle(handle);
  if (record == nullptr || !record->live) return {};
  return std::vector<uint8_t>(record->data.get(), record->data.get() + record->size);
}

void* Host::HandleData(AEGP_MemHandle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  HandleRecord* record = state_->FindHandle(handle);
  return record && record->live ? record->data.get() : nullptr;
}

size_t Host::HandleSize(AEGP_MemHandle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  HandleRecord* record = state_->FindHandle(handle);
  return record && record->live ? record->size : 0;
}

std::string Host::HandleName(AEGP_MemHandle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  HandleRecord* record = state_->FindHandle(handle);
  return record ? record->name : std::string();
}

int Host::LockCount(AEGP_MemHandle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  HandleRecord* record = state_->FindHandle(handle);
  return record && record->live ? record->locks : 0;
}

bool Host::IsLive(AEGP_MemHandle handle) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  HandleRecord* record = state_->FindHandle(handle);
  return record != nullptr && record->live;
}

void Host::FreeHandle(AEGP_MemHandle handle) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  HandleRecord* record = state_->FindHandle(handle);
  if (record == nullptr || !record->live) {
    state_->Problem("the host freed an unknown or freed handle");
    return;
  }
  if (record->locks > 0) {
    state_->Problem("the host freed handle '" + record->name +
                    "' while the plug-in holds it locked");
    return;
  }
  record->live = false;
  record->master = nullptr;
  record->data.reset();
  state_->live_handles.erase(record->number);
}

size_t Host::LiveHandleCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->live_handles.size();
}

std::vector<std::string> Host::LiveHandleNames() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::vector<std::string> names;
  for (const auto& [number, record] : state_->live_handles) {
    if (record->made_by_plugin) names.push_back(record->name);
  }
  return names;
}

size_t Host::LockedHandleCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  size_t count = 0;
  for (const auto& [number, record] : state_->live_handles) count += record->locks > 0 ? 1 : 0;
  return count;
}

}  // namespace standin
