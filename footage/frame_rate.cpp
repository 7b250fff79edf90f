#include "footage/frame_rate.h"

#include <algorithm>
#include <cstdint>

#include "footage/av_owners.h"

namespace {

// Enough pictures for a mean that a few odd gaps do not move far.
constexpr int kSpacedPictures = 64;
// Packets of other streams read past meanwhile, at most.
constexpr int kReadLimit = 16 * kSpacedPictures;

bool Positive(AVRational r) { return r.num > 0 && r.den > 0; }

// The mean rate of the stream's first timed packets, (n - 1) pictures over
// the span of their timestamps; 0/1 when fewer than two are found.
AVRational SpacingRate(AVFormatContext& format, const AVStream& stream) {
  const PacketPtr packet(av_packet_alloc());
  if (!packet) return {0, 1};
  int64_t low = INT64_MAX;
  int64_t high = INT64_MIN;
  int64_t count = 0;
  for (int read = 0; count < kSpacedPictures && read < kReadLimit; ++read) {
    if (av_read_frame(&format, packet.get()) < 0) break;
    if (packet->stream_index == stream.index && packet->pts != AV_NOPTS_VALUE) {
      low = std::min(low, packet->pts);
      high = std::max(high, packet->pts);
      ++count;
    }
    av_packet_unref(packet.get());
  }
  // A damaged file's timestamps may lie at the ends of the range: neither
  // the span nor the products below may overflow.
  int64_t span = 0;
  int64_t pictures = 0;
  int64_t ticks = 0;
  if (count < 2 || __builtin_sub_overflow(high, low, &span) || span <= 0 ||
      span > (int64_t{1} << 40) ||
      __builtin_mul_overflow(count - 1, int64_t{stream.time_base.den}, &pictures) ||
      __builtin_mul_overflow(span, int64_t{stream.time_base.num}, &ticks)) {
    return {0, 1};
  }
  AVRational rate{0, 1};
  av_reduce(&rate.num, &rate.den, pictures, ticks, 1 << 20);
  return rate;
}

}  // namespace

AVRational ToldFrameRate(AVFormatContext& format, const AVStream& stream) {
  const AVRational guess = stream.r_frame_rate;
  const AVRational tb = stream.time_base;
  if (!Positive(guess) || !Positive(tb) || av_cmp_q(guess, av_inv_q(tb)) != 0) return guess;
  AVRational measured = stream.avg_frame_rate;
  if (!Positive(measured)) measured = SpacingRate(format, stream);
  if (!Positive(measured) || av_cmp_q(av_mul_q(measured, AVRational{2, 1}), guess) >= 0)
    return guess;
  return measured;
}
