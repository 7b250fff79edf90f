// An item's picture reader: the video stream's demuxer and decoder, what the
// conversion keeps, and what one frame request leaves for the next. The item
// holds it (footage/footage_item.h); video/ alone looks inside.
#pragma once

#include <cstdint>
#include <memory>

#include "footage/av_owners.h"
#include "footage/footage_item.h"
#include "footage/footage_options.h"
#include "footage/item_registry.h"
#include "footage/stream_reader.h"
#include "footage/video_position.h"
#include "video/picture_converter.h"
#include "video/read_ahead.h"

struct VideoReader {
  StreamReader stream;  // the video stream's demuxer and decoder
  FramePtr picture;     // receives every picture; holds the one delivered last

  // ---- kept for the conversion, which runs outside the item's lock
  std::shared_ptr<PictureConverter> converter = std::make_shared<PictureConverter>();

  // ---- carried from one frame request to the next
  uint64_t cache_id = 0;  // the item's key in the picture cache (0: none)
  // The last picture the decoder gave, when the one before it in display
  // order is known too (nothing skipped in between): what links cached
  // pictures to their predecessors. Non-reference pictures the decoder was
  // told to skip all lie at or before skipped_up_to.
  bool chain_known = true;  // from the start of the file: nothing precedes
  int64_t chain_ts = INT64_MIN;
  int64_t skipped_up_to = INT64_MIN;
  VideoPosition position = VideoPosition::kStart;
  int64_t last_target = 0;    // the target of the last request served
  bool picture_held = false;  // `picture` holds a decoded picture
  bool prev_known = false;    // prev_pts is known
  int64_t prev_pts = 0;       // the picture shown before the held one (the last one, after black)
  // The last picture a search passed before its window: while it is the one
  // at prev_pts and prev_known holds, the picture before the held one, which
  // a request inside a gap of a variable-rate file shows.
  FramePtr before;

  // ---- decoding ahead (video/read_ahead.h)
  int64_t last_request = INT64_MIN;  // the target the host asked for last
  bool stepping_back = false;        // this request came about one frame before the last
  int64_t ahead_until = INT64_MIN;   // decode on while the next target is at most this
  int64_t ahead_per = 0;             // one frame
  bool decoding_ahead = false;       // the worker is decoding: the cache holds what it puts
  // Last, so that it stops before anything it works on goes.
  std::unique_ptr<ReadAhead> read_ahead;
};

// The item's picture reader, opened now if it is closed; null when the item
// uses no picture or the file cannot be opened as the footage it was (black,
// and the next request tries again).
VideoReader* OpenedVideo(const FootageOptions& record, const ItemUse& use);

// What one picture of that format and size holds, near enough (never 0).
int64_t PictureBytesOf(int format, int width, int height);

// Threads for a picture decoder of the item, for pictures as `params`
// describe, opened now: its share of the cores among the items playing
// (footage/decoder_threads.h) while their workers decoding ahead keep the
// cores busy; otherwise automatic threads.
int PictureDecoderThreads(uint64_t item_id, const AVCodecParameters& params);
