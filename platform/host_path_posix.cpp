#include <cstring>

#include "platform/host_path.h"
#include "platform/utf16.h"

std::string NarrowPathFromHost(const A_UTF16Char* path) { return Utf16ToUtf8(path); }

// File names are bytes here: the block's text is used as it stands.
std::string NarrowPathFromFlattened(const char* bytes, size_t size) {
  if (!bytes) return {};
  const void* end = std::memchr(bytes, 0, size);
  size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - bytes) : size;
  return std::string(bytes, length);
}
