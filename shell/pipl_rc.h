// The resource script that compiles the PiPL bytes into the Windows module.
// Used by the build-time generator and by the tests, never by the module.
#pragma once

#include <string>

#include "shell/pipl.h"

namespace pipl {

// Every byte is a \xNN escape, so an escape is never followed by a character
// that could be read as a third hex digit; 16 bytes per string, one string
// per line. Resource compilers add no terminator to strings in raw data.
inline std::string ResourceScript() {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string rc =
      "// Generated from the property list in shell/pipl.h at build time.\n"
      "#include <winresrc.h>\n\n"
      "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n";  // 1033
  rc += std::to_string(kResourceId) + " PiPL\nBEGIN\n";
  for (size_t i = 0; i < kResource.size(); ++i) {
    if (i % 16 == 0) rc += "  \"";
    rc += "\\x";
    rc += kHex[kResource[i] >> 4];
    rc += kHex[kResource[i] & 0xF];
    const bool line_end = i % 16 == 15 || i + 1 == kResource.size();
    if (line_end) rc += i + 1 == kResource.size() ? "\"\n" : "\",\n";
  }
  rc += "END\n";
  return rc;
}

}  // namespace pipl
