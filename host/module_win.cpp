// Loading the plug-in module with the Windows loader.
#include <windows.h>

#include "host/standin_host.h"

namespace standin {

std::unique_ptr<Module> Module::Load(const std::string& path, std::string* error) {
  std::vector<A_UTF16Char> wide = ToUtf16(path);
  std::wstring wpath(wide.begin(), wide.end() - 1);
  HMODULE library = LoadLibraryW(wpath.c_str());
  if (library == nullptr) {
    if (error) *error = "cannot load " + path + ": error " + std::to_string(GetLastError());
    return nullptr;
  }
  FARPROC symbol = GetProcAddress(library, "EntryPointFunc");
  if (symbol == nullptr) {
    if (error) *error = path + " has no EntryPointFunc";
    FreeLibrary(library);
    return nullptr;
  }
  std::unique_ptr<Module> module(new Module());
  module->library_ = reinterpret_cast<void*>(library);
  // Through the generic function type: FARPROC's own type differs.
  module->entry_ =
      reinterpret_cast<AEGP_PluginInitFuncPrototype>(reinterpret_cast<void (*)(void)>(symbol));
  return module;
}

Module::~Module() {
  if (library_ != nullptr) FreeLibrary(reinterpret_cast<HMODULE>(library_));
}

}  // namespace standin
