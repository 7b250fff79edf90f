// What ffprobe says about a file: values read by a separate program, to check
// the plug-in's own reading of the same file against.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// ffprobe and ffmpeg are programs of the Linux build machine: tests that run them skip
// in the Windows build, which runs under Wine.
#ifdef _WIN32
#define ZARN_REQUIRE_FFPROBE() GTEST_SKIP() << "needs the ffprobe command"
#define ZARN_REQUIRE_FFMPEG_COMMAND() GTEST_SKIP() << "needs the ffmpeg command"
#else
#define ZARN_REQUIRE_FFPROBE() static_cast<void>(0)
#define ZARN_REQUIRE_FFMPEG_COMMAND() static_cast<void>(0)
#endif

namespace zarn_test {

struct ProbeStream {
  int index = -1;
  std::string codec_type;  // "video", "audio", "subtitle", ...
  std::string codec_name;
  bool attached_pic = false;
  int width = 0;
  int height = 0;
  int rate_num = 0;  // r_frame_rate
  int rate_den = 0;
  int sample_rate = 0;
  int channels = 0;
  std::optional<int64_t> start_pts;  // in the stream's time base; absent when unknown
};

struct Probe {
  bool ok = false;                     // ffprobe opened the file
  std::optional<int64_t> duration_us;  // absent when the container has none
  std::optional<int64_t> bit_rate;
  std::vector<ProbeStream> streams;

  // The first stream of a type (video skips attached pictures), or null.
  const ProbeStream* First(const std::string& codec_type) const;
};

// Runs ffprobe on `path`.
Probe ProbeFile(const std::string& path);

}  // namespace zarn_test
