// One footage item: what the probe found of its streams (kept while the item
// is idle), and the readers its requests open on first use: picture and sound
// each read the file through a demuxer of their own, so a frame request never
// moves the sound's reading position and a sound request never moves the
// picture's. The record (FootageOptions) points to one FootageItem from
// OpenMedia to dispose; video/ and audio/ own the logic that runs on their
// reader, footage/item_open.h opens and closes them.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "footage/av_owners.h"
#include "footage/video_position.h"

// What the probe found of a stream the item uses: enough to open it again
// without probing, and the values requests need that only the probe knows.
struct StreamFacts {
  int index = -1;  // -1: the item uses no such stream
  CodecParametersPtr params;
  AVRational time_base{0, 1};
  AVRational frame_rate{0, 1};  // the video's r_frame_rate
  int64_t start_time = AV_NOPTS_VALUE;
};

// The file an item reads, and its format as the probe found it, so that
// later opens need not probe it.
struct MediaSource {
  std::string path;
  const AVInputFormat* format = nullptr;
};

struct VideoReader {
  const MediaSource* source = nullptr;  // the item's, which outlive the reader
  const StreamFacts* facts = nullptr;
  FormatContextPtr format;  // reads only the video stream
  bool at_start = true;     // nothing read since the demuxer opened
  CodecContextPtr decoder;
  FramePtr picture;  // receives every picture; holds the one delivered last

  // ---- kept for the conversion (owned by video/)
  SwsPtr scaler;  // while the source and destination are unchanged
  AvBufferPtr<uint8_t> scratch;
  int32_t scratch_size = 0;

  // ---- carried from one frame request to the next (owned by video/)
  uint64_t cache_id = 0;  // the item's key in the picture cache (0: none)
  // The last picture the decoder gave, when the one before it in display
  // order is known too (nothing skipped in between): what links cached
  // pictures to their predecessors. Non-reference pictures the decoder was
  // told to skip all lie at or before skipped_up_to.
  bool chain_known = true;  // from the start of the file: nothing precedes
  int64_t chain_ts = INT64_MIN;
  int64_t skipped_up_to = INT64_MIN;
  VideoPosition position = VideoPosition::kStart;
  int64_t last_target = 0;    // the target of the last request served
  bool picture_held = false;  // `picture` holds a decoded picture
  bool drained = false;       // the decoder was drained and needs a flush before new packets
  bool prev_known = false;    // prev_pts is known
  int64_t prev_pts = 0;       // the picture shown before the held one (the last one, after black)
  // The last picture a search passed before its window: while it is the one
  // at prev_pts and prev_known holds, the picture before the held one, which
  // a request inside a gap of a variable-rate file shows.
  FramePtr before;
};

// The resampler to the host's sound format, kept while the source's format,
// layout and rate stay (owned by audio/).
struct ResamplerState {
  ResamplerState() = default;
  ResamplerState(const ResamplerState&) = delete;
  ResamplerState& operator=(const ResamplerState&) = delete;
  ~ResamplerState() { av_channel_layout_uninit(&in_layout); }

  SwrPtr swr;
  bool prepared = false;  // in_* describe the source the resampler was made for
  bool usable = false;    // and it accepted that source
  AVChannelLayout in_layout{};
  int in_format = -1;
  int in_rate = 0;
  std::vector<float> output;  // interleaved L R, reused from frame to frame
};

struct SoundReader {
  const MediaSource* source = nullptr;  // the item's, which outlive the reader
  const StreamFacts* facts = nullptr;
  FormatContextPtr format;  // reads only the audio stream
  bool at_start = true;     // nothing read since the demuxer opened
  int32_t rate = 0;         // the footage's sample rate, as the host was told
  CodecContextPtr decoder;
  FramePtr frame;
  ResamplerState resampler;

  // ---- carried from one sound request to the next (owned by audio/).
  // Positions count decoded samples from the stream's first decoded sample.
  bool drained = false;       // the decoder was drained and needs a flush before new packets
  bool resume_valid = false;  // the demuxer and decoder stand where the last request ended
  bool grid_known = false;    // first_pts, first_samples and frame_size learned
  int64_t resume_sample = 0;  // position of the next sample to deliver (pending's first)
  AudioFifoPtr pending;       // converted samples decoded past the end of the last request
  int64_t first_pts = 0;      // timestamp of the first decoded frame (position 0)
  int32_t first_samples = 0;  // samples of that first frame (a codec delay may shorten it)
  int32_t frame_size = 0;     // constant samples per frame, 0 when frames vary
};

struct FootageItem {
  std::mutex lock;        // one call at a time on the item (see footage/item_registry.h)
  bool released = false;  // dispose has let go of it
  uint64_t id = 0;        // the item's key in the module's registry and picture cache

  // ---- from the probe, kept while the item is idle
  MediaSource source;
  StreamFacts video_facts;  // index -1 when the picture is not used
  StreamFacts sound_facts;  // index -1 when the sound is not used

  // ---- open on use (footage/item_open.h); null while closed
  std::unique_ptr<VideoReader> video;
  std::unique_ptr<SoundReader> sound;

  // ---- the registry's list of items with open readers (footage/item_registry.cpp)
  bool in_open_list = false;
  std::list<FootageItem*>::iterator open_position;
};
