// A contact sheet: pictures in a grid on an ARGB canvas, each labelled with
// a line of text drawn in a small built-in bitmap font (no font files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ContactSheet {
 public:
  ContactSheet(int columns, int rows, int tile_width, int tile_height);

  // Places an ARGB tile (tile_width x tile_height, rows tile_width * 4 bytes
  // apart) at grid cell `index` with `label` under it.
  void Place(int index, const std::vector<uint8_t>& tile, const std::string& label);

  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<uint8_t>& argb() const { return canvas_; }

 private:
  void DrawText(int x, int y, const std::string& text, int scale);

  int columns_, tile_width_, tile_height_;
  int width_, height_;
  std::vector<uint8_t> canvas_;
};
