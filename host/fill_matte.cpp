// The Fill Matte suite's fill and fill16: a colour into a rectangle of an
// 8-bit or a 16-bit frame buffer.
#include <algorithm>
#include <cstring>
#include <vector>

#include "host/host_state.h"
#include "host/unused_entries.h"

namespace standin {
namespace {

template <typename Pixel>
std::string FillText(const Pixel* color, const PF_Rect* rect, const PF_EffectWorld* world) {
  std::string text = color ? std::to_string(color->alpha) + "," + std::to_string(color->red) + "," +
                                 std::to_string(color->green) + "," + std::to_string(color->blue)
                           : "null";
  text += rect ? " " + std::to_string(rect->left) + "," + std::to_string(rect->top) + "," +
                     std::to_string(rect->right) + "," + std::to_string(rect->bottom)
               : " whole";
  if (world) text += " " + std::to_string(world->width) + "x" + std::to_string(world->height);
  return text;
}

// fill takes an 8-bit colour for 8-bit worlds, fill16 a 16-bit one for deep
// worlds; either on the other kind of world would write the wrong pixels.
template <typename Pixel>
PF_Err FillWorld(Op op, const Pixel* color, const PF_Rect* rect, PF_EffectWorld* world) {
  return WithHost<PF_Err>(A_Err_GENERIC, [&](Host::State& s) {
    constexpr bool kDeep = sizeof(Pixel) == 8;
    std::string text = FillText(color, rect, world);
    if (auto fault = s.Enter(op)) return s.Log(op, text, fault->err);
    if (world != nullptr && ((world->world_flags & PF_WorldFlag_DEEP) != 0) != kDeep) {
      s.Problem(std::string(OpName(op)) + (kDeep ? " of an 8-bit" : " of a deep") +
                " frame buffer");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    if (world == nullptr || world->width < 0 || world->height < 0 ||
        int64_t{world->rowbytes} < int64_t{world->width} * int64_t{sizeof(Pixel)} ||
        (world->data == nullptr && world->width > 0 && world->height > 0)) {
      s.Problem(std::string(OpName(op)) + " of a missing or malformed frame buffer");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    // A null colour is transparent black; a null rectangle the whole world.
    const Pixel pixel = color ? *color : Pixel{0, 0, 0, 0};
    A_long left = 0, top = 0, right = world->width, bottom = world->height;
    if (rect != nullptr) {
      left = std::clamp(rect->left, A_long{0}, world->width);
      right = std::clamp(rect->right, A_long{0}, world->width);
      top = std::clamp(rect->top, A_long{0}, world->height);
      bottom = std::clamp(rect->bottom, A_long{0}, world->height);
    }
    // One row span is built, then copied into every row: frame-sized fills
    // stay cheap for benchmarks.
    auto* base = reinterpret_cast<uint8_t*>(world->data);
    const size_t span = right > left ? static_cast<size_t>(right - left) * sizeof(Pixel) : 0;
    std::vector<uint8_t> row_bytes(span);
    for (size_t i = 0; i < span; i += sizeof(Pixel))
      std::memcpy(&row_bytes[i], &pixel, sizeof(Pixel));
    for (A_long y = top; y < bottom && span > 0; ++y) {
      uint8_t* row = base + static_cast<ptrdiff_t>(y) * world->rowbytes +
                     ptrdiff_t{left} * ptrdiff_t{sizeof(Pixel)};
      std::memcpy(row, row_bytes.data(), span);
    }
    return s.Log(op, text, A_Err_NONE);
  });
}

PF_Err Fill(PF_ProgPtr, const PF_Pixel* color, const PF_Rect* rect, PF_EffectWorld* world) {
  return FillWorld(Op::Fill, color, rect, world);
}

PF_Err Fill16(PF_ProgPtr, const PF_Pixel16* color, const PF_Rect* rect, PF_EffectWorld* world) {
  return FillWorld(Op::Fill16, color, rect, world);
}

}  // namespace

const PF_FillMatteSuite2* FillMatteSuiteTable() {
  static const PF_FillMatteSuite2 table = [] {
    PF_FillMatteSuite2 t;
    FillWithUnused(&t, SuiteId::FillMatte);
    t.fill = &Fill;
    t.fill16 = &Fill16;
    return t;
  }();
  return &table;
}

}  // namespace standin
