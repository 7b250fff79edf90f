#include <cmath>
#include <limits>

#include "audio/sound_reader.h"

namespace {

// The rate the host was told, as whole Hz; 0 when it is none.
int32_t ToldRate(const FootageOptions& record) {
  const double rate = record.sound_rate;
  if (!(rate >= 1.0 && rate <= std::numeric_limits<int32_t>::max())) return 0;
  return static_cast<int32_t>(std::lround(rate));
}

}  // namespace

template <>
void ReaderDelete<SoundReader>::operator()(SoundReader* reader) const {
  delete reader;
}

SoundReader* OpenedSound(const FootageOptions& record, const ItemUse& use) {
  FootageItem& item = *use;
  if (item.sound) {
    NoteItemUsed(use);
    return item.sound.get();
  }
  const StreamFacts& facts = item.sound_facts;
  const int32_t rate = ToldRate(record);
  if (!record.has_audio || facts.index < 0 || rate <= 0 || !IsValid(TimeBaseOf(facts.time_base)))
    return nullptr;
  ReaderPtr<SoundReader> sound(new SoundReader);
  sound->rate = rate;
  sound->frame.reset(av_frame_alloc());
  if (!sound->stream.Open(item.source, facts) || !sound->frame) return nullptr;
  item.sound = std::move(sound);
  NoteItemOpened(use);
  return item.sound.get();
}
