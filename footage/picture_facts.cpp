#include "footage/picture_facts.h"

#include <climits>

extern "C" {
#include <libavutil/pixdesc.h>
}

A_Ratio PixelAspectFrom(AVRational sample_aspect) {
  int num = 0;
  int den = 0;
  if (sample_aspect.num > 0 && sample_aspect.den > 0) {
    av_reduce(&num, &den, sample_aspect.num, sample_aspect.den, INT_MAX);
  }
  const bool plausible = num > 0 && den > 0 && int64_t{num} * 4 >= den && num <= int64_t{den} * 4;
  if (!plausible) return A_Ratio{1, 1};
  return A_Ratio{num, static_cast<A_u_long>(den)};
}

FootageFields FieldsFrom(AVFieldOrder order) {
  switch (order) {
    case AV_FIELD_TT:
    case AV_FIELD_TB:
      return kFieldsUpperFirst;
    case AV_FIELD_BB:
    case AV_FIELD_BT:
      return kFieldsLowerFirst;
    default:  // progressive or unknown
      return kFieldsNone;
  }
}

bool DeepPixelFormat(int format) {
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
  if (desc == nullptr) return false;
  for (int c = 0; c < desc->nb_components; ++c) {
    if (desc->comp[c].depth > 8) return true;
  }
  return false;
}

bool AlphaPixelFormat(int format) {
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
  return desc != nullptr && (desc->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
}
