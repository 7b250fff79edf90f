#include "footage/timeline.h"

#include <initializer_list>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace {

FootageOrigin StartOf(const AVStream& stream) {
  const int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
  return FootageOrigin{start, stream.time_base.num, stream.time_base.den};
}

bool Valid(const FootageOrigin& origin) { return origin.tb_num > 0 && origin.tb_den > 0; }

}  // namespace

FootageOrigin OriginOf(const AVStream* video, const AVStream* audio) {
  FootageOrigin origin{};
  for (const AVStream* stream : {video, audio}) {
    if (stream == nullptr) continue;
    const FootageOrigin start = StartOf(*stream);
    if (!Valid(start)) continue;
    if (!Valid(origin) || av_compare_ts(start.pts, AVRational{start.tb_num, start.tb_den},
                                        origin.pts, AVRational{origin.tb_num, origin.tb_den}) < 0) {
      origin = start;
    }
  }
  return Valid(origin) ? origin : FootageOrigin{};
}

int64_t OriginIn(const FootageOrigin& origin, int32_t tb_num, int32_t tb_den) {
  if (!Valid(origin) || tb_num <= 0 || tb_den <= 0) return 0;
  if (origin.tb_num == tb_num && origin.tb_den == tb_den) return origin.pts;
  return av_rescale_q_rnd(origin.pts, AVRational{origin.tb_num, origin.tb_den},
                          AVRational{tb_num, tb_den},
                          static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}
