// The trace log as the plug-in's callbacks use it: whole CR LF lines in a
// file relative to the current directory, silent when the file cannot be
// opened, safe before it is opened.
#include "diag/trace_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_cwd.h"

namespace {

using zarn_test::TempCwd;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Splits on CR LF; fails on a bare LF or CR, which would mean a wrong line end.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "unterminated line at byte " << start;
    if (end == std::string::npos) break;
    std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line end in: " << line;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

class TraceLogTest : public ::testing::Test {
 protected:
  ~TraceLogTest() override { TraceLog::Close(); }
};

TEST_F(TraceLogTest, NumbersArePlainDecimalAndLinesEndInCrLf) {
  TempCwd cwd;
  TraceLog::Open();
  TraceLine() << "a=" << int32_t{-1} << ";b=" << uint32_t{4294967295u};
  TraceLine() << "min32=" << std::numeric_limits<int32_t>::min();
  TraceLine() << "zero=" << int32_t{0} << ";u=" << uint32_t{0} << ";w=" << int64_t{0};
  TraceLine() << "min64=" << std::numeric_limits<int64_t>::min();
  TraceLine() << "max64=" << std::numeric_limits<int64_t>::max();
  TraceLine() << "seek time=" << int32_t{1001} << "/" << uint32_t{30000};
  TraceLine() << "cache!!!!!!!!!!!!!!!!!!!!!";
  TraceLine() << "null=" << static_cast<const char*>(nullptr) << int32_t{7};
  EXPECT_EQ(ReadAll(cwd.LogPath()),
            "a=-1;b=4294967295\r\n"
            "min32=-2147483648\r\n"
            "zero=0;u=0;w=0\r\n"
            "min64=-9223372036854775808\r\n"
            "max64=9223372036854775807\r\n"
            "seek time=1001/30000\r\n"
            "cache!!!!!!!!!!!!!!!!!!!!!\r\n"
            "null=7\r\n");
}

TEST_F(TraceLogTest, LinesBeforeOpenAndAfterCloseAreDropped) {
  TempCwd cwd;
  TraceLine() << "before=" << int32_t{1};
  EXPECT_FALSE(std::filesystem::exists(cwd.LogPath()));
  TraceLog::Open();
  TraceLine() << "kept";
  TraceLog::Close();
  TraceLine() << "after";
  EXPECT_EQ(ReadAll(cwd.LogPath()), "kept\r\n");
}

TEST_F(TraceLogTest, MissingFolderCreatesNothingAndDropsLines) {
  TempCwd cwd(/*with_log_folder=*/false);
  TraceLog::Open();
  TraceLine() << "lost=" << int32_t{3};
  EXPECT_FALSE(std::filesystem::exists(cwd.dir() / "Plug-ins"));
  EXPECT_TRUE(std::filesystem::is_empty(cwd.dir()));
}

TEST_F(TraceLogTest, OverlongLineIsCutButStillEnded) {
  TempCwd cwd;
  TraceLog::Open();
  const std::string path(5000, 'p');
  TraceLine() << "path=" << path.c_str() << ";n=" << int32_t{5};
  TraceLine() << "next";
  const std::vector<std::string> lines = Lines(ReadAll(cwd.LogPath()));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size() + 2, 2048u);  // the whole line buffer, CR LF included
  EXPECT_EQ(lines[0].rfind("path=ppp", 0), 0u);
  EXPECT_EQ(lines[1], "next");
}

TEST_F(TraceLogTest, ConcurrentLinesNeverInterleave) {
  TempCwd cwd;
  TraceLog::Open();
  constexpr int kThreads = 8;
  constexpr int kLinesEach = 400;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      // Many insertions per line, so a per-insertion write would interleave.
      const std::string pad(300, static_cast<char>('a' + t));
      for (int i = 0; i < kLinesEach; ++i) {
        TraceLine() << "thread=" << int32_t{t} << ";line=" << int32_t{i} << ";pad=" << pad.c_str()
                    << ";end=" << int32_t{t};
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::vector<std::string> lines = Lines(ReadAll(cwd.LogPath()));
  ASSERT_EQ(lines.size(), size_t{kThreads * kLinesEach});
  std::vector<int> next_line(kThreads, 0);
  for (const std::string& line : lines) {
    int t = -1, i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "thread=%d;line=%d;", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    const std::string expected = "thread=" + std::to_string(t) + ";line=" + std::to_string(i) +
                                 ";pad=" + std::string(300, static_cast<char>('a' + t)) +
                                 ";end=" + std::to_string(t);
    ASSERT_EQ(line, expected);
    EXPECT_EQ(i, next_line[t]++) << "lines of one thread out of order";
  }
}

}  // namespace
