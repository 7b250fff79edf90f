#include "footage/packet_tail.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "footage/av_owners.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

constexpr int64_t kFirstWindow = int64_t{1} << 20;
constexpr int64_t kLastWindow = int64_t{64} << 20;

// A packet's end in microseconds, or empty when it carries no time.
std::optional<int64_t> PacketEnd(const AVPacket& packet, AVRational time_base) {
  const int64_t ts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  if (ts == AV_NOPTS_VALUE || time_base.num <= 0 || time_base.den <= 0) return std::nullopt;
  const int64_t length = std::max<int64_t>(packet.duration, 0);
  // Timestamps from a damaged file may lie anywhere: keep the sum in range.
  if (ts > INT64_MAX / 2 || ts < INT64_MIN / 2 || length > INT64_MAX / 2) return std::nullopt;
  return av_rescale_q(ts + length, time_base, AVRational{1, AV_TIME_BASE});
}

// Matroska's demuxer cannot find its way back into the file after a jump
// that lands inside a cluster: it goes back to where it last stood, the
// start of the file. The first Cluster element (ID 1F 43 B6 75) at or after
// `from` is a place it can read on from; `from` itself when there is none,
// or the file is not Matroska.
int64_t ReadableStart(AVFormatContext& format, int64_t from, int64_t size) {
  if (std::strcmp(format.iformat->name, "matroska,webm") != 0) return from;
  constexpr uint8_t kCluster[] = {0x1F, 0x43, 0xB6, 0x75};
  std::vector<uint8_t> chunk(64 * 1024);
  uint32_t last4 = 0;
  for (int64_t at = from; at < size;) {
    if (avio_seek(format.pb, at, SEEK_SET) < 0) return from;
    const int got = avio_read(format.pb, chunk.data(), static_cast<int>(chunk.size()));
    if (got <= 0) return from;
    for (int i = 0; i < got; ++i) {
      last4 = (last4 << 8) | chunk[static_cast<size_t>(i)];
      if (last4 == (uint32_t{kCluster[0]} << 24 | uint32_t{kCluster[1]} << 16 |
                    uint32_t{kCluster[2]} << 8 | kCluster[3]) &&
          at + i >= from + 3) {
        return at + i - 3;
      }
    }
    at += got;
  }
  return from;
}

}  // namespace

std::optional<int64_t> LastPacketEnd(AVFormatContext& format, std::span<const int> streams) {
  if (streams.empty() || format.pb == nullptr) return std::nullopt;
  const int64_t size = avio_size(format.pb);
  if (size <= 0) return std::nullopt;
  PacketPtr packet(av_packet_alloc());
  if (!packet) return std::nullopt;

  std::optional<int64_t> end;
  for (int64_t window = kFirstWindow;; window *= 4) {
    const int64_t from = ReadableStart(format, std::max<int64_t>(size - window, 0), size);
    if (av_seek_frame(&format, -1, from, AVSEEK_FLAG_BYTE) < 0) return end;
    std::vector<bool> seen(streams.size(), false);
    end.reset();
    while (av_read_frame(&format, packet.get()) >= 0) {
      // A demuxer that went back before the window would read the whole file.
      const bool behind = packet->pos >= 0 && packet->pos < from;
      const auto at = std::find(streams.begin(), streams.end(), packet->stream_index);
      if (!behind && at != streams.end()) {
        const AVRational time_base = format.streams[packet->stream_index]->time_base;
        if (const auto packet_end = PacketEnd(*packet, time_base)) {
          seen[static_cast<size_t>(at - streams.begin())] = true;
          end = end ? std::max(*end, *packet_end) : *packet_end;
        }
      }
      av_packet_unref(packet.get());
      if (behind) break;
    }
    const bool all = std::all_of(seen.begin(), seen.end(), [](bool s) { return s; });
    if (all || from == 0 || window >= kLastWindow) return end;
  }
}
