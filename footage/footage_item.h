// One footage item: what the probe found of its streams (kept while the item
// is idle), and the readers its requests open on first use: picture and sound
// each read the file through a demuxer of their own, so a frame request never
// moves the sound's reading position and a sound request never moves the
// picture's. The record (FootageOptions) points to one FootageItem from
// OpenMedia to dispose; video/ and audio/ own their readers and open them,
// footage/stream_reader.h is the packet loop both run on.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "footage/av_owners.h"
#include "footage/sound_tracks.h"

// What the probe found of a stream the item uses: enough to open it again
// without probing, and the values requests need that only the probe knows.
struct StreamFacts {
  int index = -1;  // -1: the item uses no such stream
  CodecParametersPtr params;
  AVRational time_base{0, 1};
  AVRational frame_rate{0, 1};  // the video's rate, as told (footage/frame_rate.h)
  int64_t start_time = AV_NOPTS_VALUE;
};

// The file an item reads, and its format as the probe found it, so that
// later opens need not probe it.
struct MediaSource {
  std::string path;
  const AVInputFormat* format = nullptr;
};

// The readers video/ and audio/ define and own; the item holds them without
// knowing their insides (the deleters are defined beside them).
struct VideoReader;
struct SoundReader;
template <typename Reader>
struct ReaderDelete {
  void operator()(Reader* reader) const;
};
template <typename Reader>
using ReaderPtr = std::unique_ptr<Reader, ReaderDelete<Reader>>;

struct FootageItem {
  std::mutex lock;              // one call at a time on the item: ItemUse (footage/item_registry.h)
  std::atomic<int> waiting{0};  // calls waiting for `lock`: work done ahead gives it back
  bool released = false;        // dispose has let go of it
  uint64_t id = 0;              // the item's key in the module's registry and picture cache

  // ---- from the probe, kept while the item is idle
  MediaSource source;
  StreamFacts video_facts;                // index -1 when the picture is not used
  StreamFacts sound_facts;                // index -1 when the sound is not used
  std::vector<SoundTrack> sound_tracks;   // every sound stream of the file, for the choice
  int sound_choice = kDefaultSoundTrack;  // what the user chose (footage/sound_tracks.h)

  // ---- open on use (video/video_reader.h, audio/sound_reader.h); null while closed
  ReaderPtr<VideoReader> video;
  ReaderPtr<SoundReader> sound;

  bool HasOpenReaders() const { return video || sound; }
  void CloseReaders() {
    video.reset();
    sound.reset();
  }
};
