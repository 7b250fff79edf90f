#include "footage/footage_teardown.h"

#include <cstring>

#include "footage/av_owners.h"

void FreeFootage(FootageOptions& record) {
  // Every call below accepts a null object; avcodec_free_context closes an
  // opened decoder itself and needs no flush first, and never touches a
  // decoder that was not opened beyond freeing its context.
  av_frame_free(&record.video_frame);
  av_frame_free(&record.argb_frame);
  av_frame_free(&record.audio_frame);
  av_freep(&record.argb_buffer);
  sws_freeContext(record.sws_ctx);
  if (record.audio_pending != nullptr) av_audio_fifo_free(record.audio_pending);
  av_freep(&record.path);
  avcodec_free_context(&record.video_codec_ctx);
  avcodec_free_context(&record.audio_codec_ctx);
  avformat_close_input(&record.format_ctx);
  // Every byte zero, as the host hands the record out (0.0 is all zero bits).
  std::memset(&record, 0, sizeof record);
}
