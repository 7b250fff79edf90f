#include "tests/support/seek_counter.h"

#include <atomic>

namespace {
std::atomic<int64_t> seeks{0};
std::atomic<int64_t> decoded{0};
}  // namespace

#ifdef __linux__
#include <dlfcn.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>

__attribute__((visibility("default"))) int av_seek_frame(AVFormatContext* s, int stream_index,
                                                         int64_t timestamp, int flags) {
  using Real = int (*)(AVFormatContext*, int, int64_t, int);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "av_seek_frame"));
  ++seeks;
  return real(s, stream_index, timestamp, flags);
}

__attribute__((visibility("default"))) int avformat_seek_file(AVFormatContext* s, int stream_index,
                                                              int64_t min_ts, int64_t ts,
                                                              int64_t max_ts, int flags) {
  using Real = int (*)(AVFormatContext*, int, int64_t, int64_t, int64_t, int);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "avformat_seek_file"));
  ++seeks;
  return real(s, stream_index, min_ts, ts, max_ts, flags);
}

__attribute__((visibility("default"))) int avcodec_receive_frame(AVCodecContext* avctx,
                                                                 AVFrame* frame) {
  using Real = int (*)(AVCodecContext*, AVFrame*);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "avcodec_receive_frame"));
  const int ret = real(avctx, frame);
  if (ret >= 0) ++decoded;
  return ret;
}

__attribute__((visibility("default"))) int avformat_open_input(AVFormatContext** ps,
                                                               const char* url,
                                                               const AVInputFormat* fmt,
                                                               AVDictionary** options) {
  using Real = int (*)(AVFormatContext**, const char*, const AVInputFormat*, AVDictionary**);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "avformat_open_input"));
  ++seeks;
  return real(ps, url, fmt, options);
}
}

namespace zarn_test {
bool SeeksCounted() { return true; }
int64_t SeekCount() { return seeks.load(); }
int64_t DecodedCount() { return decoded.load(); }
}  // namespace zarn_test
#else
namespace zarn_test {
bool SeeksCounted() { return false; }
int64_t SeekCount() { return seeks.load(); }
int64_t DecodedCount() { return decoded.load(); }
}  // namespace zarn_test
#endif
