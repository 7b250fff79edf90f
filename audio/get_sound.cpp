// The host asks for a stretch of sound: interleaved float stereo at the
// footage's rate into its buffer, silence wherever the file has none. The
// buffer is as large as the format the host was told makes it; footage that
// told no sound format gets nothing written.
#include <cstring>

#include "audio/sound_math.h"
#include "audio/sound_reader.h"
#include "diag/trace_log.h"
#include "footage/footage_item.h"
#include "footage/footage_options.h"
#include "footage/item_registry.h"
#include "footage/locked_record.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/suite_cache.h"

namespace {

// The bytes of a buffer of `num_samples` sample frames in the format the
// host was told: 0 when it was told none.
uint64_t ToldBytes(const FootageOptions& record, A_u_long num_samples) {
  if (record.has_audio != 1 || record.channels <= 0 || record.sample_size <= 0) return 0;
  return uint64_t{num_samples} * static_cast<uint64_t>(record.channels) *
         static_cast<uint64_t>(record.sample_size);
}

// Fills the whole buffer from the record; returns the sample frames that came
// from decoded sound.
uint64_t Deliver(const FootageOptions& record, const A_Time* start, A_u_long num_samples,
                 void* data) {
  const uint64_t bytes = ToldBytes(record, num_samples);
  const ItemUse use(&record);
  // Sound is delivered in the one format the module tells; footage whose
  // audio cannot be opened gets silence, nothing of it touched.
  SoundReader* const reader =
      use && bytes == SoundBufferBytes(num_samples) ? OpenedSound(record, use) : nullptr;
  if (reader == nullptr) {
    std::memset(data, 0, bytes);
    return 0;
  }
  SoundReader& sound = *reader;
  TraceLine() << "aCodecCtx sample_fmt=" << static_cast<int32_t>(sound.stream.decoder->sample_fmt);
  const auto first =
      start != nullptr ? StartSampleFromTime(start->value, start->scale, sound.rate) : std::nullopt;
  if (!first || num_samples == 0) {
    // Nothing to decode: the demuxer stays where it is.
    TraceLine() << "rending!";
    std::memset(data, 0, bytes);
    return 0;
  }
  return ReadSound(record, sound, *first, num_samples, static_cast<float*>(data));
}

// `told_bytes` gets the buffer's size once the record is known, and `filled`
// tells whether all of it was written; the callback edge silences it
// otherwise, also when a missing suite or an exception ends the call early.
A_Err GetSound(AEIO_BasicData* basic_data, AEIO_InSpecH spec, const A_Time* start,
               A_u_long start_sample, A_u_long num_samples, void* data, uint64_t& told_bytes,
               bool& filled) {
  TraceLine() << "GetSound!---Begin";
  TraceLine() << "num_samplesLu=" << static_cast<uint32_t>(num_samples);
  TraceLine() << "start_sampLu" << static_cast<uint32_t>(start_sample);

  SuiteCache suites(BasicSuiteOf(basic_data));
  uint64_t decoded = 0;
  // A lock that yields no memory is a failure (A_Err_ALLOC), not a success
  // with silence.
  LockedRecord lock(suites, spec);
  A_Err err = lock.error();
  if (const FootageOptions* record = lock.get(); record != nullptr && data != nullptr) {
    told_bytes = ToldBytes(*record, num_samples);
    decoded = Deliver(*record, start, num_samples, data);
    filled = true;
  }
  err = FirstError(err, lock.Unlock());
  TraceLine() << "addr offset" << static_cast<int64_t>(decoded * 2 * sizeof(float));
  return err;
}

}  // namespace

A_Err Zarn_GetSound(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, AEIO_SndQuality,
                    const AEIO_InterruptFuncs*, const A_Time* startPT, const A_Time*,
                    A_u_long start_sampLu, A_u_long num_samplesLu, void* dataPV) {
  uint64_t told_bytes = 0;
  bool filled = false;
  const A_Err err = CallbackEdge([&] {
    return GetSound(basic_dataP, specH, startPT, start_sampLu, num_samplesLu, dataPV, told_bytes,
                    filled);
  });
  // A request cut short leaves silence rather than stale bytes, where the
  // buffer's size is known.
  if (!filled && dataPV != nullptr) std::memset(dataPV, 0, told_bytes);
  return err;
}
