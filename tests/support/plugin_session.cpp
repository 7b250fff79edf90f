#include "tests/support/plugin_session.h"

#include "tests/support/paths.h"

namespace zarn_test {

PluginSession::PluginSession() {
  module = standin::Module::Load(ModulePath(), &error);
  if (module == nullptr) return;
  register_result = host.Register(*module);
  if (register_result != A_Err_NONE) {
    error = "registration returned " + std::to_string(register_result);
  } else if (!host.registration().io_registered) {
    error = "registration registered no input module";
  }
}

AEIO_InSpecH PluginSession::Import(const std::string& media_name, A_Err* result) {
  return ImportPath(MediaPath(media_name), result);
}

AEIO_InSpecH PluginSession::ImportPath(const std::string& path, A_Err* result) {
  return host.Import(path, result);
}

A_Err PluginSession::Close(AEIO_InSpecH spec) {
  const A_Err err = host.Dispose(spec);
  host.DeleteInSpec(spec);
  return err;
}

FootageOptions* PluginSession::Record(AEIO_InSpecH spec) const {
  AEGP_MemHandle handle = host.OptionsHandle(spec);
  if (handle == nullptr || host.HandleSize(handle) < sizeof(FootageOptions)) return nullptr;
  return static_cast<FootageOptions*>(host.HandleData(handle));
}

::testing::AssertionResult PluginSession::Clean() const {
  std::string faults;
  for (const std::string& name : host.LiveHandleNames()) faults += "\n  live handle: " + name;
  if (host.LockedHandleCount() > 0) {
    faults += "\n  locked handles: " + std::to_string(host.LockedHandleCount());
  }
  if (host.OutstandingSuites() > 0) {
    faults += "\n  suites not released: " + std::to_string(host.OutstandingSuites());
  }
  for (const std::string& problem : host.problems()) faults += "\n  problem: " + problem;
  if (faults.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the plug-in left behind:" << faults;
}

}  // namespace zarn_test
