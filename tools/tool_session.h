// One zarn-host run: the stand-in host, the plug-in module loaded by file
// name and registered through its entry point, and one footage item.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/standin_host.h"

// The plug-in answered an error: exit status 1, the code printed.
struct PluginError : std::runtime_error {
  PluginError(const std::string& what, A_Err code)
      : std::runtime_error(what + ": plug-in error " + std::to_string(code)), code(code) {}
  A_Err code;
};

// The module could not be loaded, or something outside the plug-in failed
// (writing an output file): exit status 1.
struct ToolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Where the module is: --plugin PATH, else next to the zarn-host executable.
std::string DefaultModulePath();

class ToolSession {
 public:
  // Loads and registers the module; throws ToolError or PluginError.
  explicit ToolSession(const std::string& module_path);
  ~ToolSession();

  // Imports `file` as the session's footage item. Returns the plug-in's
  // result; throws PluginError for a non-zero result unless `allow_failure`.
  A_Err Import(const std::string& file, bool allow_failure = false);

  // Imports `file` as one more footage item, disposed with the session;
  // *result gets the plug-in's result.
  AEIO_InSpecH ImportItem(const std::string& file, A_Err* result);

  standin::Host& host() { return host_; }
  AEIO_InSpecH spec() const { return spec_; }
  const standin::Told& told() const { return host_.TellsFor(spec_); }

 private:
  standin::Host host_;
  std::unique_ptr<standin::Module> module_;
  AEIO_InSpecH spec_ = nullptr;
  std::vector<AEIO_InSpecH> items_;
};
