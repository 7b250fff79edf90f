// Counts how often the module moves a demuxer: its seeks, and the demuxers
// it opens (a fresh one stands at the start of the file). The test program
// defines those FFmpeg calls itself and passes each on to FFmpeg, so the
// calls of the module it loads land here first. Only where the platform's loader lets a program
// stand in for a library's function (Linux); elsewhere nothing is counted.
#pragma once

#include <cstdint>

namespace zarn_test {

// Whether seeks are counted here.
bool SeeksCounted();
// av_seek_frame, avformat_seek_file and avformat_open_input calls so far, by
// anyone in the process.
int64_t SeekCount();
// Frames any decoder in the process handed out so far (counted where seeks
// are).
int64_t DecodedCount();

}  // namespace zarn_test
