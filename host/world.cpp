// Frame buffers with guard bytes: before the first row, after the last, and
// past the visible pixels of every row. Guards and visible bytes start as
// distinct position-dependent patterns, so any stray or missing write shows.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "host/standin_host.h"

namespace standin {
namespace {

constexpr size_t kGuardBytes = 64;

uint8_t GuardByte(size_t index) { return static_cast<uint8_t>(0xC3 ^ (index * 37)); }

// Consecutive bytes differ by 7, so no pixel of the pattern is a uniform
// colour such as opaque or transparent black.
uint8_t PatternByte(size_t row, size_t column) {
  return static_cast<uint8_t>(0x1D + row * 131 + column * 7);
}

}  // namespace

World::World(A_long width, A_long height, A_long rowbytes, Depth depth)
    : pixel_bytes_(depth == Depth::k16Bit ? 8 : 4) {
  if (width < 0 || height < 0 || rowbytes < 0) throw std::invalid_argument("negative world size");
  const size_t visible = static_cast<size_t>(width) * pixel_bytes_;
  const size_t stride = rowbytes == 0 ? visible : static_cast<size_t>(rowbytes);
  if (stride < visible || stride > 0x7FFFFFFF) throw std::invalid_argument("bad rowbytes");
  storage_.resize(kGuardBytes + stride * static_cast<size_t>(height) + kGuardBytes);
  offset_ = kGuardBytes;
  for (size_t i = 0; i < storage_.size(); ++i) storage_[i] = GuardByte(i);
  world_.world_flags = PF_WorldFlag_WRITEABLE | (depth == Depth::k16Bit ? PF_WorldFlag_DEEP : 0);
  world_.data = reinterpret_cast<PF_Pixel*>(storage_.data() + offset_);
  world_.rowbytes = static_cast<A_long>(stride);
  world_.width = width;
  world_.height = height;
  world_.extent_hint = PF_LRect{0, 0, width, height};
  world_.pix_aspect_ratio = PF_RationalScale{1, 1};
  ResetPattern();
}

World::~World() = default;

std::vector<uint8_t> World::Pixels() const {
  std::vector<uint8_t> pixels;
  const size_t visible = VisibleBytes();
  pixels.reserve(visible * static_cast<size_t>(world_.height));
  for (A_long y = 0; y < world_.height; ++y) {
    const uint8_t* row = storage_.data() + offset_ + static_cast<size_t>(y) * world_.rowbytes;
    pixels.insert(pixels.end(), row, row + visible);
  }
  return pixels;
}

std::vector<uint16_t> World::Pixels16() const {
  const std::vector<uint8_t> bytes = Pixels();
  std::vector<uint16_t> values(bytes.size() / 2);
  std::memcpy(values.data(), bytes.data(), values.size() * 2);
  return values;
}

bool World::GuardsIntact() const {
  if (world_.data != reinterpret_cast<const PF_Pixel*>(storage_.data() + offset_)) return false;
  // Only the guard bytes are looked at (a per-byte walk over the visible
  // pixels made this check, not the module, the cost of a timed playback).
  const size_t visible = VisibleBytes();
  const size_t stride = static_cast<size_t>(world_.rowbytes);
  const size_t rows_end = storage_.size() - kGuardBytes;
  auto intact = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      if (storage_[i] != GuardByte(i)) return false;
    }
    return true;
  };
  if (!intact(0, offset_) || !intact(rows_end, storage_.size())) return false;
  for (size_t row = offset_; row < rows_end; row += stride) {
    if (!intact(row + visible, std::min(row + stride, rows_end))) return false;
  }
  return true;
}

size_t World::UntouchedPixels() const {
  size_t count = 0;
  for (A_long y = 0; y < world_.height; ++y) {
    const uint8_t* row = storage_.data() + offset_ + static_cast<size_t>(y) * world_.rowbytes;
    for (A_long x = 0; x < world_.width; ++x) {
      bool same = true;
      for (size_t c = 0; c < pixel_bytes_; ++c) {
        const size_t column = static_cast<size_t>(x) * pixel_bytes_ + c;
        same = same && row[column] == PatternByte(y, column);
      }
      count += same ? 1 : 0;
    }
  }
  return count;
}

bool World::Untouched() const {
  const size_t visible = VisibleBytes();
  for (A_long y = 0; y < world_.height; ++y) {
    const uint8_t* row = storage_.data() + offset_ + static_cast<size_t>(y) * world_.rowbytes;
    for (size_t c = 0; c < visible; ++c) {
      if (row[c] != PatternByte(y, c)) return false;
    }
  }
  return true;
}

void World::ResetPattern() {
  const size_t visible = VisibleBytes();
  for (A_long y = 0; y < world_.height; ++y) {
    uint8_t* row = storage_.data() + offset_ + static_cast<size_t>(y) * world_.rowbytes;
    for (size_t c = 0; c < visible; ++c) row[c] = PatternByte(y, c);
  }
}

}  // namespace standin
