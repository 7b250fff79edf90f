#include "footage/footage_item.h"

bool VideoUsable(const FootageItem* item) {
  return item != nullptr && item->video.format && item->video.stream != nullptr &&
         item->video.decoder && item->video.picture;
}

bool SoundUsable(const FootageItem* item) {
  if (item == nullptr) return false;
  const SoundReader& sound = item->sound;
  if (!sound.format || sound.stream == nullptr || !sound.decoder || !sound.frame) return false;
  const AVRational tb = sound.stream->time_base;
  return tb.num > 0 && tb.den > 0 && sound.rate > 0;
}
