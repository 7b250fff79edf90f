// The black a frame request delivers when it has no picture.
#pragma once

#include "host_abi/host_api.h"

// Fills the whole world with opaque black through the host's Fill Matte
// suite: fill for 8-bit worlds, fill16 for deep ones. Returns the host's result.
PF_Err FillOpaqueBlack(const PF_FillMatteSuite2& matte, PF_EffectWorld& world);
