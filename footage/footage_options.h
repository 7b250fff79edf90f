// The whole state of one footage item. It lives in a host memory handle that
// the host allocates zero-filled and no constructor ever touches, so it is
// plain data: zero means "not set" for every field, and only FreeFootage
// (footage/footage_teardown.h) releases what the pointers own. What the item
// has open (demuxers, decoders, what requests carry over) lives in the
// FootageItem the record points to.
#pragma once

#include <cstdint>
#include <type_traits>

#include "footage/time_base.h"
#include "host_abi/host_api.h"

struct FootageItem;

struct FootageRate {
  int32_t num;
  uint32_t den;
};

// The instant that footage time 0 stands for: the earlier of the used
// streams' start times, as a timestamp in that stream's time base. A zero
// time base means 0 (no used stream has a start time).
struct FootageOrigin {
  int64_t pts;
  TimeBase tb;
};

// How the pictures' fields are told to the host. Zero (progressive, or an
// order FFmpeg does not know) keeps the label every item had before.
enum FootageFields : uint8_t {
  kFieldsNone = 0,
  kFieldsUpperFirst = 1,
  kFieldsLowerFirst = 2,
};

struct FootageOptions {
  // ---- description told to the host
  uint8_t has_audio;   // a usable audio stream: the sound is described
  uint8_t video_open;  // a usable video stream: the picture fields are valid
  int32_t width;
  int32_t height;
  FootageRate frame_rate;  // the rate the video's pictures run at (footage/frame_rate.h)
  int16_t depth;           // once the video is open: 64 for more than 8 bits a component, else 32
  A_Ratio pixel_aspect;    // pixel width / height, reduced, once the video is open
  uint8_t fields;          // FootageFields
  uint8_t has_alpha;       // the pictures carry an alpha channel, told as straight
  double sound_rate;
  int16_t sound_encoding;  // AEIO_E_SIGNED_FLOAT
  int16_t sample_size;     // 4
  int16_t channels;        // 2
  A_Time duration;         // hundredths of a second
  int64_t file_size;
  A_Time start_time;       // the start timecode, when has_start_time
  uint8_t has_start_time;  // the file holds a valid start timecode for its frame rate
  uint8_t drop_frame;      // it is shown as drop-frame timecode

  // ---- the timeline picture and sound share
  FootageOrigin origin;

  // ---- persisted: the media path as UTF-8 text, av_malloc'ed, owned
  char* path;

  // ---- what is open for this item, owned from OpenMedia to dispose
  FootageItem* item;
};

static_assert(std::is_trivial_v<FootageOptions> && std::is_standard_layout_v<FootageOptions>,
              "FootageOptions lives in zero-filled host memory and must stay plain data");
