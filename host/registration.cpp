// Calling the module's entry point as the host does at start-up.
#include "host/host_state.h"

namespace standin {

A_Err Host::Register(const Module& module, AEGP_PluginID entry_plugin_id) {
  return CallEntryPoint(module, entry_plugin_id, false);
}

A_Err Host::RegisterWithNullBasicSuite(const Module& module) {
  return CallEntryPoint(module, 7, true);
}

A_Err Host::CallEntryPoint(const Module& module, AEGP_PluginID entry_plugin_id,
                           bool null_basic_suite) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    registration_ = Registration{};
    state_->entry_id = entry_plugin_id;
    state_->io_refcon = nullptr;
    state_->global_refcon = nullptr;
    state_->death_refcon = nullptr;
  }
  A_Err result = kHostProblem;
  AEGP_GlobalRefcon global_refcon = nullptr;
  if (module.entry() == nullptr) {
    AddProblem("the module has no entry point");
  } else {
    SPBasicSuite* basic = null_basic_suite ? nullptr : const_cast<SPBasicSuite*>(BasicSuite());
    try {
      result = module.entry()(basic, kDriverMajor, kDriverMinor, entry_plugin_id, &global_refcon);
    } catch (...) {
      AddProblem("an exception escaped EntryPointFunc");
    }
  }
  std::lock_guard<std::mutex> lock(state_->mutex);
  registration_.result = result;
  state_->global_refcon = global_refcon;
  return result;
}

A_Err Host::CallDeathHook() {
  AEGP_DeathHook hook = nullptr;
  AEGP_GlobalRefcon global_refcon = nullptr;
  AEGP_DeathRefcon death_refcon = nullptr;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    hook = registration_.death_hook;
    global_refcon = state_->global_refcon;
    death_refcon = state_->death_refcon;
  }
  if (hook == nullptr) {
    AddProblem("no death hook was registered");
    return kHostProblem;
  }
  try {
    return hook(global_refcon, death_refcon);
  } catch (...) {
    AddProblem("an exception escaped the death hook");
    return kHostProblem;
  }
}

}  // namespace standin
