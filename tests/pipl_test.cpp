// The PiPL resource bytes and the resource script generated from them.
#include "shell/pipl.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/pipl_rc.h"

namespace {

void Append(std::vector<uint8_t>& out, const std::string& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// The layout written out by hand: integers little-endian, four-character
// codes reversed, values padded to a multiple of 4.
std::vector<uint8_t> ExpectedResource() {
  using std::string;
  std::vector<uint8_t> r;
  Append(r, string("\x01\x00", 2));          // list version 1
  Append(r, string("\x00\x00\x00\x00", 4));  // reserved
  Append(r, string("\x05\x00\x00\x00", 4));  // 5 properties
  const string id_zero("\x00\x00\x00\x00", 4);
  Append(r, "MIB8dnik" + id_zero + string("\x04\x00\x00\x00", 4) + "xgEA");
  Append(r, "MIB8eman" + id_zero + string("\x10\x00\x00\x00", 4) + "\x0D" + "Zarn_Importer" +
                string("\x00\x00", 2));
  Append(r, "MIB8gtac" + id_zero + string("\x10\x00\x00\x00", 4) + "\x0E" + "General Plugin" +
                string("\x00", 1));
  Append(r, "MIB8srev" + id_zero + string("\x04\x00\x00\x00", 4) + string("\x00\x00\x01\x00", 4));
  Append(r, "MIB84668" + id_zero + string("\x10\x00\x00\x00", 4) + "EntryPointFunc" +
                string("\x00\x00", 2));
  return r;
}

TEST(PiPL, BytesMatchTheLayout) {
  const std::vector<uint8_t> expected = ExpectedResource();
  ASSERT_EQ(expected.size(), 146u);
  ASSERT_EQ(pipl::kResource.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(pipl::kResource[i], expected[i]) << "byte " << i;
  }
}

// Reads the raw-data block back the way a resource compiler does: each
// quoted string's \xNN escapes (exactly two hex digits) and plain characters.
std::vector<uint8_t> DataOfScript(const std::string& rc) {
  std::vector<uint8_t> bytes;
  const size_t begin = rc.find("\nBEGIN\n");
  const size_t end = rc.find("\nEND\n");
  EXPECT_NE(begin, std::string::npos);
  EXPECT_NE(end, std::string::npos);
  bool in_string = false;
  for (size_t i = begin + 7; i < end; ++i) {
    const char c = rc[i];
    if (c == '"') {
      in_string = !in_string;
    } else if (in_string && c == '\\') {
      EXPECT_EQ(rc[i + 1], 'x') << "only hex escapes are written";
      bytes.push_back(static_cast<uint8_t>(std::stoi(rc.substr(i + 2, 2), nullptr, 16)));
      // A hex digit right after the escape could be read as part of it.
      EXPECT_FALSE(std::isxdigit(static_cast<unsigned char>(rc[i + 4]))) << "at " << i;
      i += 3;
    } else if (in_string) {
      bytes.push_back(static_cast<uint8_t>(c));
    } else {
      EXPECT_TRUE(c == ',' || std::isspace(static_cast<unsigned char>(c))) << "stray '" << c << "'";
    }
  }
  EXPECT_FALSE(in_string);
  return bytes;
}

TEST(PiPL, ResourceScriptHoldsTheSameBytes) {
  const std::string rc = pipl::ResourceScript();
  EXPECT_NE(rc.find("\n16000 PiPL\nBEGIN\n"), std::string::npos) << rc;
  EXPECT_NE(rc.find("LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"), std::string::npos) << rc;
  const std::vector<uint8_t> data = DataOfScript(rc);
  EXPECT_EQ(data, std::vector<uint8_t>(pipl::kResource.begin(), pipl::kResource.end()));
}

}  // namespace
