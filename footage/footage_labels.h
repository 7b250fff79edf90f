// The alpha and interlace labels footage items are described with.
#pragma once

#include "footage/footage_options.h"
#include "host_abi/host_api.h"

// Opaque pictures keep the label every item had before: bytes
// 01 01 01 00 00 00 00 00 00 00. Pictures with an alpha channel are told as
// they come, straight (not premultiplied): flags 0, type straight.
constexpr AEIO_AlphaLabel FootageAlphaLabel(bool has_alpha) {
  if (has_alpha) return AEIO_AlphaLabel{AEIO_AlphaLabel_VERSION, 0, 0, 0, 0, AEIO_Alpha_STRAIGHT};
  return AEIO_AlphaLabel{AEIO_AlphaLabel_VERSION, AEIO_Alpha_PREMUL, 0, 0, 0, 0};
}

// Whole frames, lower field first, unless the source is known to be
// interlaced (the order is meaningless for whole frames but is what stored
// projects carry). Interlaced pictures are still delivered as whole frames:
// the host separates the fields.
constexpr FIEL_Label FootageInterlaceLabel(uint8_t fields) {
  if (fields == kFieldsUpperFirst || fields == kFieldsLowerFirst) {
    return FIEL_Label{FIEL_Tag, FIEL_Label_VERSION, FIEL_Type_INTERLACED,
                      fields == kFieldsUpperFirst ? FIEL_Order_UPPER_FIRST : FIEL_Order_LOWER_FIRST,
                      0};
  }
  return FIEL_Label{FIEL_Tag, FIEL_Label_VERSION, FIEL_Type_FRAME_RENDERED, FIEL_Order_LOWER_FIRST,
                    0};
}
