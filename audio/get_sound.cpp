// The host asks for a stretch of sound: interleaved float stereo at the
// footage's rate into its buffer, silence wherever the file has none.
#include <cstring>

#include "audio/sound_math.h"
#include "audio/sound_reader.h"
#include "diag/trace_log.h"
#include "footage/locked_handle.h"
#include "shell/callback_edge.h"
#include "shell/callbacks.h"
#include "shell/suite_cache.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

void Silence(void* data, A_u_long num_samples) {
  if (data != nullptr) std::memset(data, 0, SoundBufferBytes(num_samples));
}

// Fills the whole buffer from the record; returns the sample frames that came
// from decoded sound.
uint64_t Deliver(FootageOptions& record, const A_Time* start, A_u_long num_samples, void* data) {
  // Footage without an opened audio decoder gets silence, nothing touched.
  if (!SoundUsable(record)) {
    Silence(data, num_samples);
    return 0;
  }
  TraceLine() << "aCodecCtx sample_fmt="
              << static_cast<int32_t>(record.audio_codec_ctx->sample_fmt);
  const auto first = start != nullptr
                         ? StartSampleFromTime(start->value, start->scale, SoundRate(record))
                         : std::nullopt;
  if (!first || num_samples == 0) {
    // Nothing to decode: the demuxer stays where it is.
    TraceLine() << "rending!";
    Silence(data, num_samples);
    return 0;
  }
  return ReadSound(record, *first, num_samples, static_cast<float*>(data));
}

// `filled` tells whether the whole buffer was written; the callback edge
// silences it otherwise, also when a missing suite ends the call early.
A_Err GetSound(AEIO_BasicData* basic_data, AEIO_InSpecH spec, const A_Time* start,
               A_u_long start_sample, A_u_long num_samples, void* data, bool& filled) {
  TraceLine() << "GetSound!---Begin";
  TraceLine() << "num_samplesLu=" << static_cast<uint32_t>(num_samples);
  TraceLine() << "start_sampLu" << static_cast<uint32_t>(start_sample);

  SuiteCache suites(BasicSuiteOf(basic_data));
  void* options = nullptr;
  A_Err err = suites.IOInSuite()->AEGP_GetInSpecOptionsHandle(spec, &options);
  uint64_t decoded = 0;
  if (err == A_Err_NONE && options != nullptr) {
    LockedHandle lock(suites.MemorySuite(), static_cast<AEGP_MemHandle>(options));
    // A lock that yields no memory is a failure (A_Err_ALLOC), not a success
    // with silence.
    err = lock.Lock();
    if (err == A_Err_NONE && data != nullptr) {
      decoded = Deliver(*static_cast<FootageOptions*>(lock.data()), start, num_samples, data);
      filled = true;
    }
    err = FirstError(err, lock.Unlock());
  }
  TraceLine() << "addr offset" << static_cast<int64_t>(decoded * 2 * sizeof(float));
  return err;
}

}  // namespace

A_Err Zarn_GetSound(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, AEIO_SndQuality,
                    const AEIO_InterruptFuncs*, const A_Time* startPT, const A_Time*,
                    A_u_long start_sampLu, A_u_long num_samplesLu, void* dataPV) {
  bool filled = false;
  const A_Err err = CallbackEdge([&] {
    return GetSound(basic_dataP, specH, startPT, start_sampLu, num_samplesLu, dataPV, filled);
  });
  // Without the record the buffer still gets silence rather than stale bytes.
  if (!filled) Silence(dataPV, num_samplesLu);
  return err;
}
