#include "footage/item_open.h"

#include <cmath>
#include <limits>
#include <utility>

#include "footage/decoding.h"
#include "footage/item_registry.h"

namespace {

// Whether two values agree where both are known (0: not known).
bool Agree(int a, int b) { return a == 0 || b == 0 || a == b; }

// Whether the file still holds the stream the probe found, at its place: a
// file changed since cannot be read as the footage it was.
bool SameStream(const AVFormatContext& format, const StreamFacts& facts) {
  if (facts.index < 0 || static_cast<unsigned>(facts.index) >= format.nb_streams) return false;
  const AVCodecParameters& now = *format.streams[facts.index]->codecpar;
  const AVCodecParameters& then = *facts.params;
  return now.codec_type == then.codec_type && now.codec_id == then.codec_id &&
         av_cmp_q(format.streams[facts.index]->time_base, facts.time_base) == 0 &&
         Agree(now.width, then.width) && Agree(now.height, then.height) &&
         Agree(now.sample_rate, then.sample_rate);
}

// The rate the host was told, as whole Hz; 0 when it is none.
int32_t ToldRate(const FootageOptions& record) {
  const double rate = record.sound_rate;
  if (!(rate >= 1.0 && rate <= std::numeric_limits<int32_t>::max())) return 0;
  return static_cast<int32_t>(std::lround(rate));
}

// Opens `reader`'s demuxer, decoder and frame for the stream `facts` and
// gives it to the item's `slot`; null, leaving the slot empty, when any of
// them cannot be had.
template <typename Reader>
Reader* OpenReader(FootageItem& item, const StreamFacts& facts, std::unique_ptr<Reader> reader,
                   FramePtr Reader::*frame, std::unique_ptr<Reader>& slot) {
  reader->source = &item.source;
  reader->facts = &facts;
  reader->format = OpenStreamDemuxer(item.source, facts);
  if (!reader->format) return nullptr;
  reader->decoder = OpenDecoder(*facts.params, facts.time_base);
  ((*reader).*frame).reset(av_frame_alloc());
  if (!reader->decoder || !((*reader).*frame)) return nullptr;
  slot = std::move(reader);
  NoteItemOpened(item);
  return slot.get();
}

}  // namespace

FormatContextPtr OpenStreamDemuxer(const MediaSource& source, const StreamFacts& facts) {
  if (!facts.params) return nullptr;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, source.path.c_str(), source.format, nullptr) != 0) return nullptr;
  FormatContextPtr format(raw);
  const bool listed = (format->ctx_flags & AVFMTCTX_NOHEADER) == 0 && SameStream(*format, facts);
  if (!listed &&
      (avformat_find_stream_info(format.get(), nullptr) < 0 || !SameStream(*format, facts))) {
    return nullptr;
  }
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    format->streams[i]->discard =
        static_cast<int>(i) == facts.index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  }
  return format;
}

bool RewindDemuxer(FormatContextPtr& format, bool& at_start, const MediaSource& source,
                   const StreamFacts& facts) {
  if (at_start && format) return true;
  FormatContextPtr fresh = OpenStreamDemuxer(source, facts);
  if (!fresh) return false;
  format = std::move(fresh);
  at_start = true;
  return true;
}

VideoReader* OpenedVideo(const FootageOptions& record, FootageItem& item) {
  if (item.video) {
    NoteItemUsed(item);
    return item.video.get();
  }
  if (!record.video_open || item.video_facts.index < 0) return nullptr;
  auto video = std::make_unique<VideoReader>();
  video->cache_id = item.id;
  return OpenReader(item, item.video_facts, std::move(video), &VideoReader::picture, item.video);
}

SoundReader* OpenedSound(const FootageOptions& record, FootageItem& item) {
  if (item.sound) {
    NoteItemUsed(item);
    return item.sound.get();
  }
  const StreamFacts& facts = item.sound_facts;
  const int32_t rate = ToldRate(record);
  if (!record.has_audio || facts.index < 0 || rate <= 0 || facts.time_base.num <= 0 ||
      facts.time_base.den <= 0) {
    return nullptr;
  }
  auto sound = std::make_unique<SoundReader>();
  sound->rate = rate;
  return OpenReader(item, facts, std::move(sound), &SoundReader::frame, item.sound);
}

void CloseItem(FootageItem& item) {
  item.video.reset();
  item.sound.reset();
  NoteItemClosed(item);
}
