// The next decoded frame of an item's audio stream, read through the sound's
// own demuxer.
#pragma once

#include "footage/footage_item.h"

// Puts the next decoded frame of the audio stream into sound.frame: frames
// still pending in the decoder first, then packets read from the demuxer
// (a packet the decoder refuses is skipped), and at the end of input the
// drain. False when no frame is left; sound.drained then says whether the
// decoder was drained.
bool NextSoundFrame(SoundReader& sound, AVPacket* packet);

// Replaces the decoder with a freshly opened one, the state a continuous
// decode starts from: a flush keeps some state (window shapes, noise
// generators) and does not restore the codec's start delay. False, with the
// decoder untouched, when the new one does not open.
bool RenewSoundDecoder(SoundReader& sound);
