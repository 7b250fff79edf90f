#include "video/video_reader.h"

template <>
void ReaderDelete<VideoReader>::operator()(VideoReader* reader) const {
  delete reader;
}

VideoReader* OpenedVideo(const FootageOptions& record, const ItemUse& use) {
  FootageItem& item = *use;
  if (item.video) {
    NoteItemUsed(use);
    return item.video.get();
  }
  if (!record.video_open || item.video_facts.index < 0) return nullptr;
  ReaderPtr<VideoReader> video(new VideoReader);
  video->cache_id = item.id;
  video->picture.reset(av_frame_alloc());
  if (!video->stream.Open(item.source, item.video_facts) || !video->picture) return nullptr;
  item.video = std::move(video);
  NoteItemOpened(use);
  return item.video.get();
}
