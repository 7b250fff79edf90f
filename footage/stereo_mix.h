// The resampler that mixes any source the decoders give to the host's sound
// format, float stereo. FFmpeg mixes the layouts it knows; for the rest
// (more channels than its default layouts name, channels of unknown place)
// the mix is built here, so that every channel count FFmpeg decodes is
// heard. Import asks it too, so that sound it cannot mix is not described.
#pragma once

#include "footage/av_owners.h"

// The layout a source frame is converted from: its own when it names its
// channels, the default for its channel count when it only counts them.
// False (and `out` left empty) when it has no channels at all.
bool NormalizeSourceLayout(const AVChannelLayout& in, AVChannelLayout* out);

// A resampler from `layout` in `format` at `in_rate` to interleaved float
// stereo at `out_rate`, initialised; null when none can be made.
SwrPtr MakeStereoResampler(const AVChannelLayout& layout, AVSampleFormat format, int in_rate,
                           int out_rate);
