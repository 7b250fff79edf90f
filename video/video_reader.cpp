#include "video/video_reader.h"

#include <algorithm>

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/imgutils.h>
}

#include "footage/decoder_threads.h"
#include "footage/picture_cache.h"

template <>
void ReaderDelete<VideoReader>::operator()(VideoReader* reader) const {
  const uint64_t cache_id = reader->cache_id;
  delete reader;  // stops decoding ahead first
  if (cache_id != 0) PictureCache::Module().EndAhead(cache_id);
  DecoderThreads::Module().Forget(cache_id);
}

int64_t PictureBytesOf(int format, int width, int height) {
  const int64_t bytes =
      av_image_get_buffer_size(static_cast<AVPixelFormat>(format), width, height, 1);
  if (bytes > 0) return bytes;
  // A size FFmpeg refuses (a damaged header's) counts four bytes a pixel,
  // within a range the product can hold.
  return int64_t{std::clamp(width, 1, 1 << 16)} * std::clamp(height, 1, 1 << 16) * 4;
}

int PictureDecoderThreads(uint64_t item_id, const AVCodecParameters& params) {
  const int depth = ReadAheadDepth();
  const PictureCache& cache = PictureCache::Module();
  if (depth <= 0 || !cache.enabled()) return 0;
  const int playing = DecoderThreads::Module().Playing(item_id);
  // Workers decoding ahead keep the cores busy only while every item
  // playing can hold half its depth ahead; where large pictures fill that
  // room, requests decode for themselves and want the decoder's own threads.
  const auto held = static_cast<double>(playing) * ((depth + 1) / 2) *
                    static_cast<double>(PictureBytesOf(params.format, params.width, params.height));
  if (held > static_cast<double>(cache.RoomAheadBytes())) return 0;
  return ThreadShare(av_cpu_count(), playing);
}

VideoReader* OpenedVideo(const FootageOptions& record, const ItemUse& use) {
  FootageItem& item = *use;
  if (item.video) {
    NoteItemUsed(use);
    DecoderThreads::Module().NotePlaying(item.id);
    return item.video.get();
  }
  if (!record.video_open || item.video_facts.index < 0) return nullptr;
  ReaderPtr<VideoReader> video(new VideoReader);
  video->cache_id = item.id;
  video->picture.reset(av_frame_alloc());
  video->stream.threads = PictureDecoderThreads(item.id, *item.video_facts.params);
  if (!video->stream.Open(item.source, item.video_facts) || !video->picture) return nullptr;
  item.video = std::move(video);
  NoteItemOpened(use);
  return item.video.get();
}
