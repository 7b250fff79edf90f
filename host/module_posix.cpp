// Loading the plug-in module with the dynamic loader.
#include <dlfcn.h>

#include "host/standin_host.h"

namespace standin {

std::unique_ptr<Module> Module::Load(const std::string& path, std::string* error) {
  // RTLD_LOCAL: the module's symbols must not satisfy anyone else's, as in
  // a real host that loads many plug-ins.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    if (error) *error = "cannot load " + path + ": " + (why ? why : "unknown error");
    return nullptr;
  }
  void* symbol = dlsym(library, "EntryPointFunc");
  if (symbol == nullptr) {
    if (error) *error = path + " has no EntryPointFunc";
    dlclose(library);
    return nullptr;
  }
  std::unique_ptr<Module> module(new Module());
  module->library_ = library;
  module->entry_ = reinterpret_cast<AEGP_PluginInitFuncPrototype>(symbol);
  return module;
}

Module::~Module() {
  if (library_ != nullptr) dlclose(library_);
}

}  // namespace standin
