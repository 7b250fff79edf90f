// The platform layer: host paths to UTF-8, flattened paths, log path, clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/host_path.h"
#include "platform/trace_path.h"
#include "platform/utf16.h"

namespace {

struct Utf16Case {
  const char* name;
  std::vector<A_UTF16Char> utf16;  // without the terminator
  std::string utf8;
};

TEST(HostPath, ConvertsUtf16ToUtf8) {
  const std::vector<Utf16Case> cases = {
      {"empty", {}, ""},
      {"ascii", {'/', 't', 'm', 'p', '/', 'a', '.', 'm', 'k', 'v'}, "/tmp/a.mkv"},
      {"two_byte", {'c', 0x00E9, '.', 'f', 'l', 'v'}, "c\xC3\xA9.flv"},
      {"three_byte", {0x4E2D, 0x6587}, "\xE4\xB8\xAD\xE6\x96\x87"},
      {"largest_bmp", {0xFFFF}, "\xEF\xBF\xBF"},
      {"pair", {'x', 0xD83D, 0xDE00, 'y'}, "x\xF0\x9F\x98\x80y"},
      {"highest_pair", {0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
      {"lone_high_at_end", {'a', 0xD83D}, "a\xEF\xBF\xBD"},
      {"lone_high_then_text",
       {0xD83D, 'b'},
       "\xEF\xBF\xBD"
       "b"},
      {"lone_low",
       {0xDE00, 'c'},
       "\xEF\xBF\xBD"
       "c"},
      {"reversed_pair", {0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"two_highs_then_low", {0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
  };
  for (const Utf16Case& c : cases) {
    // Exactly sized, so a read past the terminator is caught by the sanitizer.
    auto text = std::make_unique<A_UTF16Char[]>(c.utf16.size() + 1);
    std::copy(c.utf16.begin(), c.utf16.end(), text.get());
    text[c.utf16.size()] = 0;
    EXPECT_EQ(Utf16ToUtf8(text.get()), c.utf8) << c.name;
    EXPECT_EQ(NarrowPathFromHost(text.get()), c.utf8) << c.name;
  }
  EXPECT_EQ(NarrowPathFromHost(nullptr), "");
}

TEST(HostPath, FlattenedPathStopsAtFirstZeroOrAtTheEnd) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"terminated", std::string("/m/a.mkv\0junk", 13), "/m/a.mkv"},
      {"empty", std::string("\0/m/a.mkv", 9), ""},
      {"no_zero", "/m/abc", "/m/abc"},
      {"utf8", std::string("/m/\xC3\xA9.flv\0", 11), "/m/\xC3\xA9.flv"},
  };
  for (const Case& c : cases) {
    auto block = std::make_unique<char[]>(c.bytes.size());  // nothing beyond to read
    std::memcpy(block.get(), c.bytes.data(), c.bytes.size());
    EXPECT_EQ(NarrowPathFromFlattened(block.get(), c.bytes.size()), c.path) << c.name;
  }
  EXPECT_EQ(NarrowPathFromFlattened(nullptr, 1024), "");
}

TEST(TraceLogPath, IsRelativeUnderThePluginFolder) {
#ifdef _WIN32
  EXPECT_STREQ(TraceLogPath(), "Plug-ins\\zarn_plus\\zarn_importer_dialog.txt");
#else
  EXPECT_STREQ(TraceLogPath(), "Plug-ins/zarn_plus/zarn_importer_dialog.txt");
#endif
}

TEST(Clock, CountsMillisecondsForward) {
  const int64_t before = NowMilliseconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const int64_t after = NowMilliseconds();
  // Units, not speed: microseconds or seconds would miss this range by far.
  EXPECT_GE(after - before, 30);
  EXPECT_LT(after - before, 5000);
}

}  // namespace
