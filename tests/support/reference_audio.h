// A plain continuous decode of a file's first audio stream, converted to
// interleaved float stereo at the stream's own rate: what sound requests are
// checked against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn_test {

struct ReferenceAudio {
  bool ok = false;
  int32_t rate = 0;
  int32_t tb_num = 0;
  int32_t tb_den = 0;
  int64_t first_pts = 0;              // timestamp of the first decoded frame
  int64_t start_time = 0;             // the stream's start_time (first_pts when unset)
  int64_t origin_offset = 0;          // samples from first_pts to the timeline's origin
  std::vector<float> samples;         // L R L R ...
  std::vector<int64_t> frame_starts;  // decode sample where each decoded frame begins

  int64_t frames() const { return static_cast<int64_t>(samples.size() / 2); }
  // Footage sample n is at the timeline's origin + n / rate, that is decode
  // sample n + FootageOffset() (rounded to nearest).
  int64_t FootageOffset() const;
  // The footage samples first .. first + count - 1 as the host should get
  // them: decoded sound where the decode has it, silence elsewhere.
  std::vector<float> Expected(int64_t first, int64_t count) const;
};

// Decodes `path`'s sound track `track` (the n-th audio stream, from 1) from
// start to end; `ok` is false when it cannot.
ReferenceAudio DecodeReferenceAudio(const std::string& path, int track = 1);

// The largest absolute difference between two equally long sample runs
// (infinity when their lengths differ), and where it is.
struct Difference {
  double largest = 0;
  int64_t at = -1;  // sample frame index of the largest difference
};
Difference CompareSamples(const std::vector<float>& got, const std::vector<float>& want);

}  // namespace zarn_test
