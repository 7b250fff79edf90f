#include "tools/contact_sheet.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMargin = 12;
constexpr int kLabelHeight = 26;
constexpr int kFontScale = 2;

// 5 x 7 glyphs, one byte per row, bit 4 leftmost.
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {'t', {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06}},
    {'=', {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}},
    {'/', {0x01, 0x02, 0x02, 0x04, 0x08, 0x08, 0x10}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph* Find(char c) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.c == c) return &glyph;
  }
  return nullptr;
}

}  // namespace

ContactSheet::ContactSheet(int columns, int rows, int tile_width, int tile_height)
    : columns_(columns),
      tile_width_(tile_width),
      tile_height_(tile_height),
      width_(kMargin + columns * (tile_width + kMargin)),
      height_(kMargin + rows * (tile_height + kLabelHeight + kMargin)),
      canvas_(static_cast<size_t>(width_) * height_ * 4) {
  for (size_t i = 0; i < canvas_.size(); i += 4) {
    canvas_[i] = 255;  // opaque dark grey
    canvas_[i + 1] = canvas_[i + 2] = canvas_[i + 3] = 40;
  }
}

void ContactSheet::Place(int index, const std::vector<uint8_t>& tile, const std::string& label) {
  const int x = kMargin + (index % columns_) * (tile_width_ + kMargin);
  const int y = kMargin + (index / columns_) * (tile_height_ + kLabelHeight + kMargin);
  const size_t row_bytes = static_cast<size_t>(tile_width_) * 4;
  for (int row = 0; row < tile_height_ && (row + 1) * row_bytes <= tile.size(); ++row) {
    std::memcpy(&canvas_[(static_cast<size_t>(y + row) * width_ + x) * 4], &tile[row * row_bytes],
                row_bytes);
  }
  DrawText(x, y + tile_height_ + 6, label, kFontScale);
}

void ContactSheet::DrawText(int x, int y, const std::string& text, int scale) {
  for (const char c : text) {
    if (const Glyph* glyph = Find(c)) {
      for (int gy = 0; gy < 7 * scale; ++gy) {
        for (int gx = 0; gx < 5 * scale; ++gx) {
          if ((glyph->rows[gy / scale] >> (4 - gx / scale) & 1) == 0) continue;
          const int px = x + gx;
          const int py = y + gy;
          if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
          uint8_t* pixel = &canvas_[(static_cast<size_t>(py) * width_ + px) * 4];
          pixel[0] = 255;
          pixel[1] = pixel[2] = pixel[3] = 235;
        }
      }
    }
    x += 6 * scale;
  }
}
