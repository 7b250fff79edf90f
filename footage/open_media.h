// Opens and probes a media file into a freshly zero-filled record: the first
// video and first audio stream, their decoders, the frames and the picture
// buffer, and the description told to the host.
#pragma once

#include "footage/footage_options.h"
#include "footage/sound_tracks.h"
#include "host_abi/host_api.h"

// Returns 0, A_Err_STRUCT (2: cannot open, probe or decode) or A_Err_ALLOC
// (4: a video frame could not be allocated). Throws SuiteMissing when the
// basic data carries no basic suite. Whatever it opened stays in the record
// for FreeFootage, on failure as on success.
// `sound_wish`, when given, names the sound track the user chose (or none);
// a choice the file no longer matches falls back to the first track.
A_Err OpenMedia(const AEIO_BasicData* basic_data, FootageOptions& record, const char* path,
                const SoundTrackChoice* sound_wish = nullptr);
