// The flattened options block stored in project files: exactly 1024 bytes,
// the path's bytes, a 0, and zeros to the end. Right after the path's 0 it
// may carry the sound track the user chose: "ZSND", version 1, the stream's
// index and its codec id (32-bit little-endian each). Blocks written before
// there was a choice hold zeros there, and a plug-in that reads only the
// path stops at the 0.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "footage/sound_tracks.h"

inline constexpr size_t kFlattenedBlockSize = 1024;

// A path of `length` bytes fits when its terminator still lies in the block.
constexpr bool PathFitsBlock(size_t length) { return length < kFlattenedBlockSize; }

// Writes the path and its terminator at the start of a zero-filled block.
// The caller has checked PathFitsBlock.
void WritePathToBlock(char* block, std::string_view path);

// The path a block of `size` bytes holds: its bytes up to the first 0, read no
// further than min(size, 1024). None when there is no 0 there (not a block
// this plug-in wrote: a path cut at the block's end could name a different
// file).
std::optional<std::string_view> PathInBlock(const char* block, size_t size);

inline constexpr size_t kSoundTrackRecordSize = 13;

// Writes the choice after a path of `path_length` bytes; false, and nothing
// written, when the block has no room for it (the default track then).
bool WriteSoundTrackToBlock(char* block, size_t path_length, const SoundTrackChoice& choice);

// The choice a block of `size` bytes carries after its path; none when the
// bytes there are not a record of this version, or lie past the block.
std::optional<SoundTrackChoice> SoundTrackInBlock(const char* block, size_t size,
                                                  size_t path_length);
