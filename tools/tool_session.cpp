#include "tools/tool_session.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

std::string DefaultModulePath() {
  std::filesystem::path self;
#ifdef _WIN32
  wchar_t buffer[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  self = std::filesystem::path(std::wstring(buffer, length));
#else
  std::error_code error;
  self = std::filesystem::read_symlink("/proc/self/exe", error);
#endif
  return (self.parent_path() / "Zarn_Importer.aex").string();
}

ToolSession::ToolSession(const std::string& module_path) {
  std::string error;
  module_ = standin::Module::Load(module_path, &error);
  if (!module_) throw ToolError("cannot load the plug-in " + module_path + ": " + error);
  const A_Err result = host_.Register(*module_);
  if (result != A_Err_NONE) throw PluginError("registration failed", result);
}

ToolSession::~ToolSession() {
  if (spec_ != nullptr) items_.push_back(spec_);
  for (AEIO_InSpecH spec : items_) {
    host_.Dispose(spec);
    host_.DeleteInSpec(spec);
  }
}

AEIO_InSpecH ToolSession::ImportItem(const std::string& file, A_Err* result) {
  AEIO_InSpecH spec = host_.Import(file, result);
  items_.push_back(spec);
  return spec;
}

A_Err ToolSession::Import(const std::string& file, bool allow_failure) {
  A_Err result = A_Err_NONE;
  spec_ = host_.Import(file, &result);
  if (result != A_Err_NONE && !allow_failure) throw PluginError("import of " + file, result);
  return result;
}
