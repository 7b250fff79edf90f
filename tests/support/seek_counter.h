// Counts the seeks the module makes. The test program defines FFmpeg's two
// seek calls itself and passes each on to FFmpeg, so the calls of the module
// it loads land here first. Only where the platform's loader lets a program
// stand in for a library's function (Linux); elsewhere nothing is counted.
#pragma once

#include <cstdint>

namespace zarn_test {

// Whether seeks are counted here.
bool SeeksCounted();
// av_seek_frame and avformat_seek_file calls so far, by anyone in the process.
int64_t SeekCount();

}  // namespace zarn_test
