// UTF-8 to the host's UTF-16 path text.
#include "host/standin_host.h"

namespace standin {

std::vector<A_UTF16Char> ToUtf16(const std::string& utf8) {
  constexpr char32_t kReplacement = 0xFFFD;
  std::vector<A_UTF16Char> out;
  out.reserve(utf8.size() + 1);
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char lead = s[i];
    size_t extra = 0;
    char32_t code = lead;
    char32_t minimum = 0;
    if (lead < 0x80) {
      extra = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
      out.push_back(static_cast<A_UTF16Char>(kReplacement));
      ++i;
      continue;
    }
    size_t used = 1;
    while (used <= extra && i + used < n && (s[i + used] & 0xC0) == 0x80) {
      code = (code << 6) | (s[i + used] & 0x3F);
      ++used;
    }
    // Truncated, overlong, surrogate or out-of-range sequences become one
    // replacement character each.
    if (used != extra + 1 || code < minimum || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      code = kReplacement;
    }
    i += used;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<A_UTF16Char>(0xD800 + (code >> 10)));
      out.push_back(static_cast<A_UTF16Char>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<A_UTF16Char>(code));
    }
  }
  out.push_back(0);
  return out;
}

}  // namespace standin
