// The scaler and the scratch a footage item keeps for its conversions.
#pragma once

#include <cstdint>

#include "video/picture_converter.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

// The threads a conversion to width x height runs on: one for small
// pictures, up to four (the machine's cores) for large ones.
int ConversionThreads(int width, int height);

// Point-scales the whole picture to width x height pixels of `format` into
// `planes` (one for packed formats), rows `strides` bytes apart, with the
// kept scaler (remade when the source or destination changes) set to the
// picture's colour rule. Where swscale refuses the shape, the picture is
// converted at its own size and sampled pixel by pixel to the same rule.
// False when neither way delivers every row.
bool ScalePicture(PictureConverter& converter, const AVFrame& picture, int width, int height,
                  AVPixelFormat format, uint8_t* const planes[4], const int strides[4]);

// The kept scratch, grown to hold `height` rows of `row_bytes` each; rows
// start 64 bytes apart at least, so a converter's whole-block writes past a
// row's end stay inside. Null when it cannot be had.
uint8_t* ScratchRows(PictureConverter& converter, int64_t row_bytes, int height, int* stride);

// Point-scales the picture into the kept scratch as packed `format`,
// `pixel_bytes` a pixel: the first row, with rows *stride bytes apart; null
// when the scratch cannot be had or the conversion fails.
uint8_t* ScaleToScratch(PictureConverter& converter, const AVFrame& picture, int width, int height,
                        AVPixelFormat format, int pixel_bytes, int* stride);
