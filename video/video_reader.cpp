#include "video/video_reader.h"

#include "footage/decoder_threads.h"
#include "footage/picture_cache.h"

template <>
void ReaderDelete<VideoReader>::operator()(VideoReader* reader) const {
  const uint64_t cache_id = reader->cache_id;
  delete reader;  // stops decoding ahead first
  if (cache_id != 0) PictureCache::Module().EndAhead(cache_id);
  DecoderThreads::Module().Forget(cache_id);
}

int PictureDecoderThreads(uint64_t item_id) {
  if (ReadAheadDepth() <= 0 || !PictureCache::Module().enabled()) return 0;
  return DecoderThreads::Module().Share(item_id);
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
  video->stream.threads = PictureDecoderThreads(item.id);
  if (!video->stream.Open(item.source, item.video_facts) || !video->picture) return nullptr;
  item.video = std::move(video);
  NoteItemOpened(use);
  return item.video.get();
}
