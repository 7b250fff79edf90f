// The host's file paths and the narrow text the plug-in keeps and persists.
#pragma once

#include <cstddef>
#include <string>

#include "host_abi/host_api.h"

// The host's NUL-terminated UTF-16 path as UTF-8 (invalid UTF-16 becomes
// U+FFFD). Empty for a null path.
std::string NarrowPathFromHost(const A_UTF16Char* path);

// The path stored in a flattened block (its bytes up to the first 0, at most
// `size`) as the UTF-8 text FFmpeg opens. Elsewhere than Windows that is the
// bytes themselves; on Windows a block that is not valid UTF-8 is an older
// project's OEM-code-page path and is converted.
std::string NarrowPathFromFlattened(const char* bytes, size_t size);
