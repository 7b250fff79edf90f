// What both fuzz targets share: one stand-in host for the whole process with
// the fuzz build's module loaded by file name and registered, a private
// temporary directory as the current directory, and checks that abort (so
// libFuzzer reports the input) when the plug-in leaves anything behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/standin_host.h"

namespace zarn_fuzz {

// Set up once per process: quiet FFmpeg, temp dir, module, registration.
standin::Host& SessionHost();

// The per-process temporary directory (the current directory as well).
const std::string& TempDir();

// Writes `size` bytes to `name` in the temp dir and returns its path.
std::string WriteFile(const std::string& name, const uint8_t* data, size_t size);

// Aborts with `what` when `ok` is false.
void Require(bool ok, const char* what, long long value = 0);

// Aborts when the host recorded a new problem since the last call, or when a
// handle made by the plug-in is still live or locked, or a suite is still out.
void RequireClean(standin::Host& host, bool expect_no_plugin_handles = true);

}  // namespace zarn_fuzz
