#include "footage/timeline.h"

#include <initializer_list>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include "footage/av_owners.h"

namespace {

FootageOrigin StartOf(const AVStream& stream) {
  const int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
  return FootageOrigin{start, TimeBaseOf(stream.time_base)};
}

}  // namespace

FootageOrigin OriginOf(const AVStream* video, const AVStream* audio) {
  FootageOrigin origin{};
  for (const AVStream* stream : {video, audio}) {
    if (stream == nullptr) continue;
    const FootageOrigin start = StartOf(*stream);
    if (!IsValid(start.tb)) continue;
    if (!IsValid(origin.tb) ||
        av_compare_ts(start.pts, RationalOf(start.tb), origin.pts, RationalOf(origin.tb)) < 0) {
      origin = start;
    }
  }
  return IsValid(origin.tb) ? origin : FootageOrigin{};
}

int64_t OriginIn(const FootageOrigin& origin, TimeBase tb) {
  if (!IsValid(origin.tb) || !IsValid(tb)) return 0;
  if (origin.tb.num == tb.num && origin.tb.den == tb.den) return origin.pts;
  return av_rescale_q_rnd(origin.pts, RationalOf(origin.tb), RationalOf(tb),
                          static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

FootageOrigin OriginOr(const FootageOrigin& origin, TimeBase fallback) {
  return IsValid(origin.tb) ? origin : FootageOrigin{0, fallback};
}

int64_t OriginMicroseconds(const FootageOrigin& origin) {
  return IsValid(origin.tb)
             ? av_rescale_q(origin.pts, RationalOf(origin.tb), AVRational{1, AV_TIME_BASE})
             : 0;
}
