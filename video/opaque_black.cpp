#include "video/opaque_black.h"

PF_Err FillOpaqueBlack(const PF_FillMatteSuite2& matte, PF_EffectWorld& world) {
  static constexpr PF_Pixel kBlack{255, 0, 0, 0};
  static constexpr PF_Pixel16 kBlack16{PF_MAX_CHAN16, 0, 0, 0};
  if ((world.world_flags & PF_WorldFlag_DEEP) != 0) {
    return matte.fill16(nullptr, &kBlack16, nullptr, &world);
  }
  return matte.fill(nullptr, &kBlack, nullptr, &world);
}
