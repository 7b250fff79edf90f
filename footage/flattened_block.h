// The flattened options block stored in project files: exactly 1024 bytes,
// the path's bytes, a 0, and zeros to the end. No header, no version.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

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
