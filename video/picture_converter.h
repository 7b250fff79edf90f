// What an item keeps for turning pictures into the host's frames: the
// scaler, while the source and destination stay the same, and the scratch.
// It has a lock of its own, so that a request converts its picture after
// giving the item back, while the item decodes on ahead of it; it is shared,
// so that a close of the item during a conversion leaves it to the end.
#pragma once

#include <cstdint>
#include <mutex>

#include "footage/av_owners.h"

struct PictureConverter {
  std::mutex lock;  // one conversion at a time
  SwsPtr scaler;
  struct ScalerKey {
    int source_width, source_height, source_format, width, height, format, threads;
    bool operator==(const ScalerKey&) const = default;
  } scaler_key{};
  AvBufferPtr<uint8_t> scratch;
  int32_t scratch_size = 0;
};
