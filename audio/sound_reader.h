// Sound for a stretch of footage samples, decoded from the item's audio
// stream: the seek, the decode, the placement of each frame and the carry-over
// that lets the next request continue where this one ended.
#pragma once

#include <cstdint>

#include "audio/sound_converter.h"
#include "footage/av_owners.h"
#include "footage/footage_item.h"
#include "footage/footage_options.h"
#include "footage/item_registry.h"
#include "footage/stream_reader.h"

// An item's sound reader: the audio stream's demuxer and decoder, the
// resampler, and what one sound request leaves for the next. The item holds
// it (footage/footage_item.h); audio/ alone looks inside.
struct SoundReader {
  StreamReader stream;  // the audio stream's demuxer and decoder
  int32_t rate = 0;     // the footage's sample rate, as the host was told
  FramePtr frame;
  ResamplerState resampler;

  // ---- carried from one sound request to the next.
  // Positions count decoded samples from the stream's first decoded sample.
  bool resume_valid = false;  // the demuxer and decoder stand where the last request ended
  bool grid_known = false;    // first_pts, first_samples and frame_size learned
  int64_t resume_sample = 0;  // position of the next sample to deliver (pending's first)
  AudioFifoPtr pending;       // converted samples decoded past the end of the last request
  int64_t first_pts = 0;      // timestamp of the first decoded frame (position 0)
  int32_t first_samples = 0;  // samples of that first frame (a codec delay may shorten it)
  int32_t frame_size = 0;     // constant samples per frame, 0 when frames vary
};

// The item's sound reader, opened now if it is closed; null when the item
// uses no sound, the record tells no usable rate, or the file cannot be
// opened as the footage it was (silence, and the next request tries again).
SoundReader* OpenedSound(const FootageOptions& record, const ItemUse& use);

// Writes `count` sample frames of interleaved float stereo to `out`, the
// footage's samples first .. first + count - 1, silence wherever the file has
// none. Returns the sample frames from the start of `out` up to the end of
// the last decoded sample written (the rest is silence).
uint64_t ReadSound(const FootageOptions& record, SoundReader& sound, int64_t first, uint64_t count,
                   float* out);
