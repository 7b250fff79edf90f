// Reads back the frame number that tests/media/make_media.sh draws into every
// test picture: 10 bits across the top, bit i (0 leftmost) a block W/10 wide;
// the first row of blocks (H/15 tall) white for 1 and black for 0, the row
// below it the complement. Positions are relative to the picture, so scaled
// pictures read the same.
#pragma once

#include <cstdint>

namespace zarn_test {

// The frame number in an ARGB picture (bytes A, R, G, B per pixel, `rowbytes`
// per row), or -1 when no code can be read (a black or blank picture, or one
// whose blocks are neither clearly light nor clearly dark).
int FrameNumberFromArgb(const uint8_t* argb, int width, int height, int rowbytes);

}  // namespace zarn_test
