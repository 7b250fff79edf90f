// The rate a video stream's pictures are told to run at. FFmpeg's
// r_frame_rate is a guess; when it finds no rate in the timestamps it falls
// back to the time base (1000/1 in Matroska and FLV), though the pictures
// may come seconds apart.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

// r_frame_rate, unless it is 1 / time base while the stream's average rate
// (avg_frame_rate, or where FFmpeg has none, the mean spacing of its first
// packets, read from `format`) is below half of it: then that rate. Reads
// packets of `format` only in that case.
AVRational ToldFrameRate(AVFormatContext& format, const AVStream& stream);
