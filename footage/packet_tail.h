// Where a file's packets end, read from its tail: for recordings whose
// recorder was killed, which hold no duration and no index.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

struct AVFormatContext;

// The latest end (timestamp plus duration) of a packet of `streams`, in
// microseconds (AV_TIME_BASE), found by reading forward from near the end of
// the file. The window starts at 1 MiB and widens fourfold until a packet of
// every stream has been seen, or it reaches 64 MiB; the whole file is read
// only when it is smaller than that. Empty when no packet of the streams has
// a timestamp there, or the file cannot be read by position. Leaves the
// demuxer's position anywhere.
std::optional<int64_t> LastPacketEnd(AVFormatContext& format, std::span<const int> streams);
