#include "tests/support/timeline.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace zarn_test {

TimelineOrigin OriginOfFile(const AVFormatContext& format, int audio_track) {
  TimelineOrigin origin;
  bool found = false;
  bool seen_video = false, seen_audio = audio_track == 0;
  int audio_seen = 0;
  for (unsigned i = 0; i < format.nb_streams; ++i) {
    const AVStream& s = *format.streams[i];
    const AVMediaType type = s.codecpar->codec_type;
    bool* seen = type == AVMEDIA_TYPE_VIDEO   ? &seen_video
                 : type == AVMEDIA_TYPE_AUDIO ? &seen_audio
                                              : nullptr;
    if (seen == nullptr || *seen) continue;
    if (type == AVMEDIA_TYPE_AUDIO && ++audio_seen != audio_track) continue;
    if (type == AVMEDIA_TYPE_VIDEO && (s.disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;
    *seen = true;
    const int64_t start = s.start_time == AV_NOPTS_VALUE ? 0 : s.start_time;
    if (!found || av_compare_ts(start, s.time_base, origin.pts, origin.tb) < 0) {
      origin = {start, s.time_base};
      found = true;
    }
  }
  return origin;
}

int64_t OriginIn(const TimelineOrigin& origin, AVRational tb) {
  if (origin.tb.num == 0) return 0;
  return av_rescale_q_rnd(origin.pts, origin.tb, tb, AV_ROUND_NEAR_INF);
}

int64_t SamplesToOrigin(const TimelineOrigin& origin, int64_t from, AVRational from_tb, int rate) {
  const AVRational otb = origin.tb.num == 0 ? from_tb : origin.tb;
  const int64_t pts = origin.tb.num == 0 ? 0 : origin.pts;
  // Seconds over a common denominator; small enough for the test clips.
  const int64_t num = pts * otb.num * from_tb.den - from * from_tb.num * otb.den;
  return av_rescale_rnd(num, rate, int64_t{otb.den} * from_tb.den, AV_ROUND_NEAR_INF);
}

}  // namespace zarn_test
