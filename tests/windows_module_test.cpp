// The built Windows module as a file: what the host's loader and its plug-in
// scan see. Read straight from the PE image, so the checks need no tools and
// run the same under Wine and on Linux (where the module is ELF and they skip).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "shell/pipl.h"
#include "support/paths.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A bounds-checked reader over a PE32+ image on disk. Every accessor fails
// the test instead of reading outside the file.
class PeImage {
 public:
  struct DataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
  };
  enum Directory { kExport = 0, kImport = 1, kResource = 2 };

  explicit PeImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  bool IsPe() const { return bytes_.size() > 0x40 && bytes_[0] == 'M' && bytes_[1] == 'Z'; }

  // Reads the headers; false (with a failure) on a malformed image.
  bool Parse() {
    const uint32_t pe = U32(0x3C);
    if (!Has(pe, 24) || std::memcmp(&bytes_[pe], "PE\0\0", 4) != 0) return Fail("no PE signature");
    machine_ = U16(pe + 4);
    const uint16_t sections = U16(pe + 6);
    const uint16_t optional_size = U16(pe + 20);
    characteristics_ = U16(pe + 22);
    const uint32_t optional = pe + 24;
    if (U16(optional) != 0x20B) return Fail("not PE32+");
    const uint32_t directory_count = U32(optional + 108);
    for (uint32_t i = 0; i < std::min<uint32_t>(directory_count, 3); ++i) {
      directories_[i] = {U32(optional + 112 + 8 * i), U32(optional + 116 + 8 * i)};
    }
    const uint32_t table = optional + optional_size;
    for (uint16_t i = 0; i < sections; ++i) {
      const uint32_t at = table + 40u * i;
      sections_.push_back({U32(at + 8), U32(at + 12), U32(at + 16), U32(at + 20)});
    }
    return !failed_;
  }

  uint16_t machine() const { return machine_; }
  uint16_t characteristics() const { return characteristics_; }
  DataDirectory directory(Directory d) const { return directories_[d]; }

  // File offset of an RVA whose `length` bytes lie within one section.
  std::optional<uint32_t> Offset(uint32_t rva, uint32_t length = 1) const {
    for (const Section& s : sections_) {
      const uint64_t span = std::max(s.virtual_size, s.raw_size);
      if (rva >= s.rva && uint64_t{rva} + length <= s.rva + span &&
          uint64_t{rva} - s.rva + length <= s.raw_size) {
        const uint32_t offset = s.raw_offset + (rva - s.rva);
        if (Has(offset, length)) return offset;
      }
    }
    return std::nullopt;
  }

  uint16_t U16(uint32_t offset) {
    if (!Has(offset, 2)) return Fail("read past the end"), 0;
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  uint32_t U32(uint32_t offset) {
    if (!Has(offset, 4)) return Fail("read past the end"), 0;
    return static_cast<uint32_t>(U16(offset)) | static_cast<uint32_t>(U16(offset + 2)) << 16;
  }
  uint32_t RvaU32(uint32_t rva) {
    const auto at = Offset(rva, 4);
    return at ? U32(*at) : (Fail("RVA outside the sections"), 0);
  }
  uint16_t RvaU16(uint32_t rva) {
    const auto at = Offset(rva, 2);
    return at ? U16(*at) : (Fail("RVA outside the sections"), 0);
  }
  std::string RvaString(uint32_t rva) {
    std::string text;
    for (uint32_t i = 0; i < 4096; ++i) {
      const auto at = Offset(rva + i);
      if (!at) return Fail("string runs out of its section"), text;
      if (bytes_[*at] == 0) return text;
      text.push_back(static_cast<char>(bytes_[*at]));
    }
    return Fail("string too long"), text;
  }
  std::vector<uint8_t> RvaBytes(uint32_t rva, uint32_t size) {
    const auto at = Offset(rva, size);
    if (!at) return Fail("data outside the sections"), std::vector<uint8_t>{};
    return {bytes_.begin() + *at, bytes_.begin() + *at + size};
  }

 private:
  struct Section {
    uint32_t virtual_size, rva, raw_size, raw_offset;
  };
  bool Has(uint64_t offset, uint64_t length) const { return offset + length <= bytes_.size(); }
  bool Fail(const char* what) {
    if (!failed_) ADD_FAILURE() << "malformed module: " << what;
    failed_ = true;
    return false;
  }

  std::vector<uint8_t> bytes_;
  uint16_t machine_ = 0;
  uint16_t characteristics_ = 0;
  DataDirectory directories_[3]{};
  std::vector<Section> sections_;
  bool failed_ = false;
};

std::vector<std::string> ExportedNames(PeImage& pe, uint32_t* function_count) {
  std::vector<std::string> names;
  const PeImage::DataDirectory dir = pe.directory(PeImage::kExport);
  *function_count = 0;
  if (dir.rva == 0) return names;
  *function_count = pe.RvaU32(dir.rva + 20);
  const uint32_t name_count = pe.RvaU32(dir.rva + 24);
  const uint32_t name_table = pe.RvaU32(dir.rva + 32);
  for (uint32_t i = 0; i < name_count && i < 1000; ++i) {
    names.push_back(pe.RvaString(pe.RvaU32(name_table + 4 * i)));
  }
  return names;
}

std::vector<std::string> ImportedDlls(PeImage& pe) {
  std::vector<std::string> dlls;
  const PeImage::DataDirectory dir = pe.directory(PeImage::kImport);
  // Descriptors of 20 bytes, ended by an all-zero one; Name is at +12.
  for (uint32_t at = dir.rva; dir.rva != 0 && dlls.size() < 1000; at += 20) {
    const uint32_t name = pe.RvaU32(at + 12);
    if (name == 0 && pe.RvaU32(at + 16) == 0) break;
    dlls.push_back(Lower(pe.RvaString(name)));
  }
  return dlls;
}

// Resource directory entries of one level: (name or id, offset with its
// high bit marking a subdirectory). A named entry's name is UTF-16 text.
struct ResourceEntry {
  std::optional<uint32_t> id;
  std::string name;  // lower case; ASCII only in this module
  uint32_t target;
};

std::vector<ResourceEntry> ResourceLevel(PeImage& pe, uint32_t base, uint32_t offset) {
  std::vector<ResourceEntry> entries;
  const uint32_t count = pe.RvaU16(base + offset + 12) + pe.RvaU16(base + offset + 14);
  for (uint32_t i = 0; i < count && i < 1000; ++i) {
    const uint32_t at = base + offset + 16 + 8 * i;
    const uint32_t name = pe.RvaU32(at);
    ResourceEntry entry{std::nullopt, "", pe.RvaU32(at + 4)};
    if (name & 0x80000000u) {
      const uint32_t text = base + (name & 0x7FFFFFFFu);
      const uint16_t length = pe.RvaU16(text);
      for (uint16_t k = 0; k < length; ++k) {
        entry.name.push_back(static_cast<char>(std::tolower(pe.RvaU16(text + 2 + 2 * k) & 0x7F)));
      }
    } else {
      entry.id = name;
    }
    entries.push_back(entry);
  }
  return entries;
}

// The bytes of resource type/id (any language), with the language found.
std::optional<std::vector<uint8_t>> FindResource(PeImage& pe, const std::string& type, uint32_t id,
                                                 uint32_t* language) {
  const uint32_t base = pe.directory(PeImage::kResource).rva;
  if (base == 0) return std::nullopt;
  for (const ResourceEntry& t : ResourceLevel(pe, base, 0)) {
    if (t.id || t.name != Lower(type) || !(t.target & 0x80000000u)) continue;
    for (const ResourceEntry& n : ResourceLevel(pe, base, t.target & 0x7FFFFFFFu)) {
      if (n.id != id || !(n.target & 0x80000000u)) continue;
      const std::vector<ResourceEntry> languages =
          ResourceLevel(pe, base, n.target & 0x7FFFFFFFu);
      if (languages.size() != 1 || (languages[0].target & 0x80000000u)) return std::nullopt;
      *language = languages[0].id.value_or(0);
      const uint32_t data = base + languages[0].target;  // a data entry: RVA, size
      return pe.RvaBytes(pe.RvaU32(data), pe.RvaU32(data + 4));
    }
  }
  return std::nullopt;
}

class WindowsModule : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream file(zarn_test::ModulePath(), std::ios::binary);
    ASSERT_TRUE(file) << "cannot read " << zarn_test::ModulePath();
    pe_.emplace(std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}));
    if (!pe_->IsPe()) GTEST_SKIP() << "the module of this build is not a Windows DLL";
    ASSERT_TRUE(pe_->Parse());
  }
  std::optional<PeImage> pe_;
};

TEST_F(WindowsModule, IsA64BitDll) {
  EXPECT_EQ(pe_->machine(), 0x8664);                  // x64
  EXPECT_TRUE(pe_->characteristics() & 0x2000) << "not flagged as a DLL";
}

TEST_F(WindowsModule, ExportsOnlyTheEntryPoint) {
  uint32_t functions = 0;
  const std::vector<std::string> names = ExportedNames(*pe_, &functions);
  EXPECT_EQ(names, std::vector<std::string>{"EntryPointFunc"});
  EXPECT_EQ(functions, 1u) << "exports by ordinal only";
}

// The host installs one file: everything but the operating system is linked
// in, so no C++ runtime, libgcc, winpthread or FFmpeg DLL may be imported.
TEST_F(WindowsModule, ImportsOnlySystemDlls) {
  const std::vector<std::string> dlls = ImportedDlls(*pe_);
  ASSERT_FALSE(dlls.empty());
  EXPECT_NE(std::find(dlls.begin(), dlls.end(), "kernel32.dll"), dlls.end());
  const std::vector<std::string> system = {"kernel32.dll", "msvcrt.dll", "ucrtbase.dll",
                                           "user32.dll",   "advapi32.dll", "bcrypt.dll",
                                           "ole32.dll",    "shell32.dll",  "ws2_32.dll",
                                           "secur32.dll",  "ntdll.dll"};
  for (const std::string& dll : dlls) {
    const bool crt_api_set = dll.rfind("api-ms-win-crt-", 0) == 0;
    EXPECT_TRUE(crt_api_set || std::find(system.begin(), system.end(), dll) != system.end())
        << "imports " << dll;
  }
}

// The host's plug-in scan reads this resource to find the entry point: its
// bytes must be exactly the property list's.
TEST_F(WindowsModule, PiplResourceHasTheExactBytes) {
  uint32_t language = 0;
  const auto bytes = FindResource(*pe_, "PiPL", pipl::kResourceId, &language);
  ASSERT_TRUE(bytes.has_value()) << "no PiPL resource " << pipl::kResourceId;
  EXPECT_EQ(language, static_cast<uint32_t>(pipl::kLanguageId));
  ASSERT_EQ(bytes->size(), 146u);
  EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), pipl::kResource.begin()));
  for (size_t i = 0; i < bytes->size(); ++i) {
    if ((*bytes)[i] != pipl::kResource[i]) {
      ADD_FAILURE() << "first differing byte at " << i;
      break;
    }
  }
  // The entry point the resource names is the one the module exports.
  const std::string text(bytes->begin(), bytes->end());
  EXPECT_NE(text.find(std::string("EntryPointFunc\0", 15)), std::string::npos);
}

}  // namespace
