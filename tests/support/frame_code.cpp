#include "tests/support/frame_code.h"

#include <algorithm>
#include <cstddef>

namespace zarn_test {
namespace {

constexpr int kBits = 10;

// Mean grey level of a small window around (x, y), kept well inside a block.
int GreyAround(const uint8_t* argb, int width, int height, int rowbytes, int x, int y) {
  const int rx = std::max(0, width / 80);
  const int ry = std::max(0, height / 120);
  int sum = 0;
  int count = 0;
  for (int yy = std::max(0, y - ry); yy <= std::min(height - 1, y + ry); ++yy) {
    const uint8_t* row = argb + static_cast<std::ptrdiff_t>(yy) * rowbytes;
    for (int xx = std::max(0, x - rx); xx <= std::min(width - 1, x + rx); ++xx) {
      const uint8_t* pixel = row + xx * 4;
      sum += pixel[1] + pixel[2] + pixel[3];
      count += 3;
    }
  }
  return sum / count;
}

// 1 for light, 0 for dark, -1 for neither.
int Level(int grey) {
  if (grey >= 160) return 1;
  if (grey <= 95) return 0;
  return -1;
}

}  // namespace

int FrameNumberFromArgb(const uint8_t* argb, int width, int height, int rowbytes) {
  if (argb == nullptr || width < 2 * kBits || height < 30 || rowbytes < width * 4) return -1;
  int number = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    const int x = (2 * bit + 1) * width / (2 * kBits);
    const int top = Level(GreyAround(argb, width, height, rowbytes, x, height / 30));
    const int below = Level(GreyAround(argb, width, height, rowbytes, x, height / 10));
    if (top < 0 || below < 0 || top == below) return -1;
    number |= top << bit;
  }
  return number;
}

}  // namespace zarn_test
