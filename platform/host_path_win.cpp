#include <windows.h>

#include <climits>
#include <cstring>

#include "platform/host_path.h"

namespace {

// Wide text (NUL-terminated, or `length` units) as UTF-8; an unpaired
// surrogate becomes U+FFFD, as WideCharToMultiByte does without
// WC_ERR_INVALID_CHARS.
std::string Utf8FromWide(const wchar_t* text, int length) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
  if (length < 0) out.pop_back();  // the converted terminator
  return out;
}

bool IsUtf8(const char* bytes, int length) {
  return length == 0 ||
         MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0) > 0;
}

// An older project stored the path in the OEM code page of the machine that
// saved it; this machine's OEM code page is the best guess we have.
std::string Utf8FromOem(const char* bytes, int length) {
  const int units = MultiByteToWideChar(CP_OEMCP, 0, bytes, length, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_OEMCP, 0, bytes, length, wide.data(), units);
  return Utf8FromWide(wide.data(), units);
}

}  // namespace

// wchar_t is 16 bits on Windows: the host's UTF-16 units are used in place.
static_assert(sizeof(wchar_t) == sizeof(A_UTF16Char));

std::string NarrowPathFromHost(const A_UTF16Char* path) {
  if (!path || !*path) return {};
  return Utf8FromWide(reinterpret_cast<const wchar_t*>(path), -1);
}

std::string NarrowPathFromFlattened(const char* bytes, size_t size) {
  if (!bytes) return {};
  const void* end = std::memchr(bytes, 0, size);
  const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - bytes) : size;
  // A block is 1024 bytes; anything that does not fit an int is no path.
  if (length > static_cast<size_t>(INT_MAX)) return {};
  const int n = static_cast<int>(length);
  if (IsUtf8(bytes, n)) return std::string(bytes, length);
  return Utf8FromOem(bytes, n);
}
