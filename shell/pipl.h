// The PiPL resource that lets the host find the module's entry point on
// Windows. The property list below is the one source of its bytes: the
// resource script compiled into the Windows module is generated from it, and
// the tests check it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pipl {

enum class Value { kFourCC, kPascalString, kCString, kUInt32 };

struct Property {
  const char* key;  // four characters
  Value type;
  const char* text;  // for the code and string kinds
  uint32_t number;   // for kUInt32
};

// All of vendor '8BIM', id 0, in this order.
inline constexpr Property kProperties[] = {
    {"kind", Value::kFourCC, "AEgx", 0},  // the host's general plug-in kind
    {"name", Value::kPascalString, "Zarn_Importer", 0},
    {"catg", Value::kPascalString, "General Plugin", 0},
    {"vers", Value::kUInt32, nullptr, 0x00010000},
    {"8664", Value::kCString, "EntryPointFunc", 0},  // code entry, 64-bit Windows
};

inline constexpr int kResourceId = 16000;
inline constexpr int kLanguageId = 1033;  // English (United States)

constexpr size_t TextLength(const char* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

constexpr size_t DataLength(const Property& p) {
  switch (p.type) {
    case Value::kPascalString:
      return 1 + TextLength(p.text);
    case Value::kCString:
      return TextLength(p.text) + 1;
    default:
      return 4;
  }
}

// Every value is zero-padded to a multiple of 4; the stored length is the
// padded one.
constexpr size_t Padded(size_t n) { return (n + 3) / 4 * 4; }

constexpr size_t ResourceSize() {
  size_t size = 2 + 4 + 4;  // list version, reserved, property count
  for (const Property& p : kProperties) size += 16 + Padded(DataLength(p));
  return size;
}

namespace detail {

template <size_t N>
struct Writer {
  std::array<uint8_t, N> bytes{};
  size_t at = 0;

  constexpr void U8(uint8_t v) { bytes[at++] = v; }
  constexpr void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  constexpr void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  // Four-character codes are 32-bit values 'abcd', stored little-endian:
  // the characters come out reversed.
  constexpr void FourCC(const char* code) {
    for (int i = 3; i >= 0; --i) U8(static_cast<uint8_t>(code[i]));
  }
  constexpr void Text(const char* text) {
    for (size_t i = 0; text[i]; ++i) U8(static_cast<uint8_t>(text[i]));
  }
};

}  // namespace detail

constexpr std::array<uint8_t, ResourceSize()> BuildResource() {
  detail::Writer<ResourceSize()> w;
  w.U16(1);  // list version (the Windows-only leading word)
  w.U32(0);  // reserved
  w.U32(static_cast<uint32_t>(std::size(kProperties)));
  for (const Property& p : kProperties) {
    w.FourCC("8BIM");
    w.FourCC(p.key);
    w.U32(0);  // property id
    const size_t padded = Padded(DataLength(p));
    w.U32(static_cast<uint32_t>(padded));
    const size_t start = w.at;
    switch (p.type) {
      case Value::kFourCC:
        w.FourCC(p.text);
        break;
      case Value::kPascalString:
        w.U8(static_cast<uint8_t>(TextLength(p.text)));
        w.Text(p.text);
        break;
      case Value::kCString:
        w.Text(p.text);
        break;
      case Value::kUInt32:
        w.U32(p.number);
        break;
    }
    while (w.at < start + padded) w.U8(0);  // terminator and padding
  }
  return w.bytes;
}

inline constexpr std::array<uint8_t, ResourceSize()> kResource = BuildResource();
static_assert(kResource.size() == 146);

}  // namespace pipl
