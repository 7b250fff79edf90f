#include "video/colour_rule.h"

#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

bool IsJpegFormat(AVPixelFormat format) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
      return true;
    default:
      return false;
  }
}

// A demuxer may pass a file's colour code through unchecked (Matroska's
// MatrixCoefficients can hold any number), and loading an enum field that holds
// a value outside its type is undefined: the fields are read as plain ints.
template <typename Enum>
int CodeOf(const Enum& field) {
  static_assert(sizeof(Enum) == sizeof(int));
  int code = 0;
  std::memcpy(&code, &field, sizeof code);
  return code;
}

int MatrixOf(int space, int height) {
  switch (space) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
      return SWS_CS_SMPTE240M;
    case AVCOL_SPC_FCC:
      return SWS_CS_FCC;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return SWS_CS_BT2020;
    default:  // unspecified, or nothing swscale has a matrix for
      return height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

}  // namespace

SourceColour SourceColourOf(const AVFrame& frame) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
  SourceColour colour{};
  colour.is_rgb = desc != nullptr && (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0;
  colour.matrix = MatrixOf(CodeOf(frame.colorspace), frame.height);
  colour.full_range =
      (CodeOf(frame.color_range) == AVCOL_RANGE_JPEG || IsJpegFormat(format)) ? 1 : 0;
  return colour;
}
