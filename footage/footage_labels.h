// The alpha and interlace labels every footage item is described with.
#pragma once

#include "shell/base/host_api.h"

// Premultiplied alpha over a black matte: bytes 01 01 01 00 00 00 00 00 00 00.
constexpr AEIO_AlphaLabel FootageAlphaLabel() {
  return AEIO_AlphaLabel{AEIO_AlphaLabel_VERSION, AEIO_Alpha_PREMUL, 0, 0, 0, 0};
}

// Whole frames, lower field first (the order is meaningless for whole
// frames but is what stored projects carry).
constexpr FIEL_Label FootageInterlaceLabel() {
  return FIEL_Label{FIEL_Tag, FIEL_Label_VERSION, FIEL_Type_FRAME_RENDERED, FIEL_Order_LOWER_FIRST,
                    0};
}
