#include "footage/local_file.h"

extern "C" {
#include <libavutil/dict.h>
}

FormatContextPtr OpenLocalFile(const char* path, const AVInputFormat* format) {
  AVDictionary* options = nullptr;
  if (av_dict_set(&options, "protocol_whitelist", "file", 0) < 0) return nullptr;
  AVFormatContext* raw = nullptr;
  // avformat_open_input frees the context itself when it fails.
  const int ret = avformat_open_input(&raw, path, format, &options);
  av_dict_free(&options);
  return ret == 0 ? FormatContextPtr(raw) : nullptr;
}
