// Where an item's picture demuxer and decoder stand between frame requests.
#pragma once

#include <cstdint>

enum class VideoPosition : uint8_t {
  kStart,        // nothing decoded since the open: at the start of the file
  kAfterTarget,  // where the last frame request left them (after its target)
  kUnknown,      // moved by something else, or a request did not finish: seek
};
