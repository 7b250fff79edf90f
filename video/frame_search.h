// Reading and decoding toward a target window: the packet loop with its
// trace lines, the drain at the end of input, and the seek as one
// operation. Used by the draw-frame callback once it has chosen its course.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/avutil.h>
}

#include "video/video_reader.h"

struct SearchState {
  int64_t low = 0;             // the window's lower edge, T - h (inclusive)
  int64_t full_from = 0;       // non-reference pictures are decoded from here on
  bool confirm_first = false;  // after a seek: is the first picture before the window?
  bool skipping = false;       // non-reference pictures are being skipped
  bool skipped_any = false;    // some were, so pictures may be missing from the count
  bool prev_known = false;     // prev_pts holds the last picture dropped before the window
  int64_t prev_pts = 0;
  int64_t earliest = INT64_MAX;  // lowest timestamp of a video packet or picture read
  // Pictures that carry no timestamp at all (raw streams) are counted on from
  // the last placed one, one frame apart, while the position is known.
  int64_t per = 0;                   // one frame
  int64_t next_ts = AV_NOPTS_VALUE;  // the count's next value, or unknown
};

// Where a search begins.
enum class SearchStart {
  kOpened,         // the demuxer stands at the start of the file, as opened
  kReadOn,         // from where the last request left the decoder
  kSeekFromStart,  // after a seek to the start of the file
  kSeek,           // after a backward seek toward the target
};

// The state a search begins with, for the window starting at `low`; sets the
// decoder's skip mode to match. After a seek, pictures decoded only to reach
// the window skip their non-reference ones, except for the last `stretch`
// before the window: those are decoded whole, so that the picture cache
// holds what a step back asks for.
SearchState BeginSearch(VideoReader& video, SearchStart start, int64_t low, int64_t per,
                        int64_t stretch);

enum class SearchEnd {
  kFound,        // video.picture holds the first picture at or after the window's edge
  kNone,         // the input ended before such a picture
  kSeekEarlier,  // after a seek: the first picture was inside the window already, or
                 // none came at all, so an earlier picture may be missed
};

// Receives pending pictures first, then reads and decodes packets of the
// video stream until the window is reached or the input ends (then drains).
// Every picture whose predecessor is known goes into the picture cache.
SearchEnd DecodeUntilWindow(VideoReader& video, SearchState& search);

// Flushes the decoder, seeks the video stream backward to `target` (or to
// its start when `from_start`) and forgets what the decoder carried.
void SeekVideo(VideoReader& video, int64_t target, bool from_start);

// The stream's first timestamp (0 when the stream has none).
int64_t StreamStart(const VideoReader& video);
