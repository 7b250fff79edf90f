#include "footage/describe_footage.h"

#include <cstdint>

#include "footage/footage_labels.h"
#include "footage/native_frame_rate.h"

namespace {

A_Err DescribePicture(const AEGP_IOInSuite4& io, AEIO_InSpecH spec, const FootageOptions& record) {
  A_Err err = io.AEGP_SetInSpecDepth(spec, record.depth);
  if (err == A_Err_NONE) err = io.AEGP_SetInSpecDimensions(spec, record.width, record.height);
  if (err == A_Err_NONE) {
    // The module registered as aware of pixel aspect: the host guesses none.
    const A_Ratio square{1, 1};
    err = io.AEGP_SetInSpecHSF(spec, record.pixel_aspect.den != 0 ? &record.pixel_aspect : &square);
  }
  if (err == A_Err_NONE) {
    // No usable rate (e.g. 0/0): leave the host its default rather than 0 fps.
    if (const auto fps = NativeFrameRate(record.frame_rate)) {
      err = io.AEGP_SetInSpecNativeFPS(spec, *fps);
    }
  }
  return err;
}

A_Err DescribeSound(const AEGP_IOInSuite4& io, AEIO_InSpecH spec, const FootageOptions& record) {
  A_Err err = io.AEGP_SetInSpecSoundRate(spec, record.sound_rate);
  if (err == A_Err_NONE) err = io.AEGP_SetInSpecSoundEncoding(spec, record.sound_encoding);
  if (err == A_Err_NONE) err = io.AEGP_SetInSpecSoundSampleSize(spec, record.sample_size);
  if (err == A_Err_NONE) err = io.AEGP_SetInSpecSoundChannels(spec, record.channels);
  return err;
}

}  // namespace

A_Err DescribeFootage(const AEGP_IOInSuite4& io, AEIO_InSpecH spec, const FootageOptions& record) {
  const AEIO_AlphaLabel alpha = FootageAlphaLabel(record.has_alpha == 1);
  const FIEL_Label interlace = FootageInterlaceLabel(record.fields);

  // An unknown size is 0, never a negative estimate wrapped to 16 EiB.
  const int64_t size = record.file_size > 0 ? record.file_size : 0;
  A_Err err = io.AEGP_SetInSpecSize(spec, static_cast<AEIO_FileSize>(size));
  if (err == A_Err_NONE) err = io.AEGP_SetInSpecDuration(spec, &record.duration);
  if (err == A_Err_NONE && record.video_open == 1) err = DescribePicture(io, spec, record);
  if (err == A_Err_NONE && record.video_open == 1) err = io.AEGP_SetInSpecAlphaLabel(spec, &alpha);
  if (err == A_Err_NONE) err = io.AEGP_SetInSpecInterlaceLabel(spec, &interlace);
  if (err == A_Err_NONE && record.has_audio == 1) err = DescribeSound(io, spec, record);
  return err;
}

A_Err DescribeStartTime(const AEGP_IOInSuite5* io6, AEIO_InSpecH spec,
                        const FootageOptions& record) {
  if (io6 == nullptr || record.has_start_time != 1) return A_Err_NONE;
  A_Err err = io6->AEGP_SetInSpecNativeStartTime(spec, &record.start_time);
  if (err == A_Err_NONE) err = io6->AEGP_SetInSpecNativeDisplayDropFrame(spec, record.drop_frame);
  return err;
}
