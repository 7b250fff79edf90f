// How a request is served:
// 1. On the footage's first request, learn the decode clock: seek to the
//    start, take the first frame's timestamp (position 0), its length and,
//    when the decoder's frames have a constant size, that size (the grid).
// 2. Turn the footage sample into a decode position: footage sample n lies at
//    the timeline's origin + n / rate.
// 3. Continue where the previous request ended (its surplus samples are kept
//    in `pending`), read forward a little, or seek: flush, seek to the
//    start minus a pre-roll that lets lossy decoders settle.
// 4. Place each decoded frame: the first after a seek by its timestamp
//    snapped to the grid (container timestamps are rounded), later ones
//    right after the previous frame unless their timestamp shows a real gap.
//    A seek that lands too late is redone from the start.
// 5. Copy what falls inside the request at a running position, silence for
//    gaps, keep what lies beyond the end for the next request.
#include "audio/sound_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "audio/sound_converter.h"
#include "audio/sound_math.h"
#include "diag/trace_log.h"
#include "footage/decoding.h"
#include "footage/timeline.h"

namespace {

constexpr int kPendingChannels = 2;
constexpr int64_t kPositionLimit = int64_t{1} << 60;

bool Pcm(AVCodecID id) { return id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT; }

// Frames looked at when the grid is learned: the first (a codec delay may
// shorten it) and enough after it to tell frames of one size from frames
// that vary.
constexpr int kGridFrames = 6;

// How long before the requested start decoding begins after a seek, so that
// the decoder's state has settled to what a continuous decode holds there.
// Lossless codecs decode each frame on its own. MDCT codecs need the frame
// before (and MP3 its bit reservoir): 0.1 s is several frames. Opus carries
// prediction and filter state that decays slowly (about 25 dB per 0.1 s in
// our clips), so 0.5 s takes it well below -90 dB of full scale.
int32_t PrerollSamples(AVCodecID id, int32_t rate) {
  if (Pcm(id) || id == AV_CODEC_ID_FLAC) return 0;
  switch (id) {
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
    case AV_CODEC_ID_VORBIS:
      return rate / 10;
    case AV_CODEC_ID_OPUS:
      return rate / 2;
    default:
      return rate / 2;  // unknown state: the longer wait
  }
}

// The requested stretch in decode positions, filled front to back.
struct Output {
  float* data;
  int64_t start;
  uint64_t count;
  uint64_t filled = 0;       // sample frames written (sound or silence), a prefix
  uint64_t decoded_end = 0;  // end of the last decoded sample written

  int64_t next() const { return start + static_cast<int64_t>(filled); }
  int64_t end() const { return start + static_cast<int64_t>(count); }
  bool full() const { return filled == count; }
  void Silence(uint64_t frames) {
    std::memset(data + filled * 2, 0, frames * 2 * sizeof(float));
    filled += frames;
  }
};

class Request {
 public:
  Request(const FootageOptions& record, SoundReader& sound, Output& out)
      : record_(record),
        sound_(sound),
        out_(out),
        rate_(sound.rate),
        tb_(TimeBaseOf(sound.stream.facts->time_base)),
        converter_(sound.resampler, rate_) {
    const AVCodecID id = sound.stream.decoder->codec_id;
    preroll_ = PrerollSamples(id, rate_);
    // A timestamp further than this from where the previous frame ended is a
    // real gap (or overlap), not rounding: two ticks of the time base, and at
    // least 20 ms.
    const int64_t tick = SamplesFromTicks(1, tb_, rate_).value_or(0);
    gap_tolerance_ = std::max<int64_t>(2 * tick, rate_ / 50);
    // A frame's estimate, the difference of two rounded timestamps, lies
    // within a tick (and the sample's rounding) of its true place.
    snap_tolerance_ = tick + 1;
  }

  void Run(int64_t first);

 private:
  void LearnGrid();
  void Seek(int64_t position);
  int64_t StartTimestamp() const;
  std::optional<int64_t> Estimate(int64_t timestamp) const;
  int64_t Snap(int64_t estimate) const {
    return SnapToFrameGrid(estimate, sound_.first_samples, sound_.frame_size, snap_tolerance_);
  }
  void TakePending();
  void Put(int64_t position, const float* samples, int64_t frames);
  void Keep(int64_t position, const float* samples, int64_t frames);
  void Decode();
  void Finish();

  const FootageOptions& record_;
  SoundReader& sound_;
  Output& out_;
  int32_t rate_;
  TimeBase tb_;
  SoundConverter converter_;
  int64_t preroll_ = 0;
  int64_t gap_tolerance_ = 0;
  int64_t snap_tolerance_ = 0;

  bool placed_ = false;      // `running_` is known (false right after a seek)
  int64_t running_ = 0;      // position of the decoder's next sample
  int64_t seek_target_ = 0;  // position the last seek aimed at
  bool from_start_ = false;  // the last seek went to the start of the stream
  bool reseeked_ = false;    // the seek was already redone from the start
  bool keep_failed_ = false;
};

int64_t Request::StartTimestamp() const {
  const int64_t start_time = sound_.stream.facts->start_time;
  if (!sound_.grid_known) return start_time != AV_NOPTS_VALUE ? start_time : 0;
  if (start_time == AV_NOPTS_VALUE) return sound_.first_pts;
  return std::min(start_time, sound_.first_pts);
}

std::optional<int64_t> Request::Estimate(int64_t timestamp) const {
  // A damaged file's timestamps may lie anywhere: a place beyond ±2^61
  // samples (tens of thousands of years) places nothing, and the sums made
  // with a place stay in range.
  constexpr int64_t kSampleLimit = int64_t{1} << 61;
  int64_t ticks = 0;
  if (timestamp == AV_NOPTS_VALUE || __builtin_sub_overflow(timestamp, sound_.first_pts, &ticks))
    return std::nullopt;
  const std::optional<int64_t> samples = SamplesFromTicks(ticks, tb_, rate_);
  if (!samples || *samples > kSampleLimit || *samples < -kSampleLimit) return std::nullopt;
  return samples;
}

// Flush, seek and forget every carried value together.
void Request::Seek(int64_t position) {
  sound_.resume_valid = false;
  if (sound_.pending) av_audio_fifo_reset(sound_.pending.get());
  sound_.resampler.prepared = false;  // nothing the resampler holds belongs after the seek
  placed_ = false;
  seek_target_ = std::max<int64_t>(position, 0);
  from_start_ = position <= 0;
  int64_t timestamp = StartTimestamp();
  if (!from_start_) {
    if (const auto ticks = TicksFromSamples(position, tb_, rate_))
      timestamp = SaturatingAdd(timestamp, *ticks);
  }
  if (from_start_) {
    // From the start, a continuous decode begins with a fresh decoder.
    sound_.stream.SeekToStart(timestamp, /*fresh_decoder=*/true);
  } else {
    sound_.stream.Seek(timestamp);
  }
}

void Request::LearnGrid() {
  sound_.grid_known = false;
  Seek(0);
  sound_.first_pts = StartTimestamp();
  sound_.first_samples = 0;
  sound_.frame_size = 0;
  int sizes[kGridFrames] = {};
  int frames = 0;
  while (frames < kGridFrames && sound_.stream.NextFrame(sound_.frame.get())) {
    const AVFrame& frame = *sound_.frame;
    if (frame.nb_samples <= 0) continue;
    if (frames == 0 && FrameTimestamp(frame) != AV_NOPTS_VALUE)
      sound_.first_pts = FrameTimestamp(frame);
    sizes[frames++] = frame.nb_samples;
  }
  sound_.first_samples = sizes[0];
  // The grid is the decoder's constant frame size, or the one size every
  // frame after the first kept (the last of a short stream may be shorter).
  const int whole = frames == kGridFrames ? frames : frames - 1;
  bool one_size = frames >= 2;
  for (int i = 2; i < whole; ++i) one_size = one_size && sizes[i] == sizes[1];
  if (sound_.stream.decoder->frame_size > 0 && frames >= 2)
    sound_.frame_size = sound_.stream.decoder->frame_size;
  else if (one_size)
    sound_.frame_size = sizes[1];
  sound_.grid_known = true;
}

void Request::Keep(int64_t position, const float* samples, int64_t frames) {
  if (keep_failed_) return;
  if (!sound_.pending)
    sound_.pending.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLT, kPendingChannels, 4096));
  AVAudioFifo* fifo = sound_.pending.get();
  if (fifo == nullptr) {
    keep_failed_ = true;
    return;
  }
  const int64_t pending_end = out_.end() + av_audio_fifo_size(fifo);
  if (position > pending_end) {
    // A gap after the request: keep it as silence, unless it is long (the
    // next request then seeks).
    if (position - pending_end > rate_) {
      keep_failed_ = true;
      return;
    }
    std::vector<float> zeros(static_cast<size_t>(position - pending_end) * 2, 0.0f);
    void* planes[1] = {zeros.data()};
    if (av_audio_fifo_write(fifo, planes, static_cast<int>(position - pending_end)) < 0)
      keep_failed_ = true;
  } else if (position < pending_end) {
    const int64_t overlap = std::min(frames, pending_end - position);
    samples += overlap * 2;
    frames -= overlap;
  }
  if (frames <= 0 || keep_failed_) return;
  void* planes[1] = {const_cast<float*>(samples)};
  if (av_audio_fifo_write(fifo, planes, static_cast<int>(frames)) < frames) keep_failed_ = true;
}

void Request::Put(int64_t position, const float* samples, int64_t frames) {
  // Samples before the next unwritten one were delivered already; those
  // before position 0 are a codec's start delay, which a continuous decode
  // never delivers.
  const int64_t first_wanted = std::max<int64_t>(out_.next(), 0);
  if (position < first_wanted) {
    const int64_t skip = std::min(frames, first_wanted - position);
    samples += skip * 2;
    frames -= skip;
    position += skip;
  }
  if (frames <= 0) return;
  if (!out_.full() && position > out_.next())
    out_.Silence(static_cast<uint64_t>(std::min(position, out_.end()) - out_.next()));
  if (!out_.full() && position == out_.next()) {
    const int64_t copy = std::min(frames, out_.end() - position);
    std::memcpy(out_.data + out_.filled * 2, samples,
                static_cast<size_t>(copy) * 2 * sizeof(float));
    out_.filled += static_cast<uint64_t>(copy);
    out_.decoded_end = out_.filled;
    samples += copy * 2;
    frames -= copy;
    position += copy;
  }
  if (frames > 0) Keep(position, samples, frames);
}

// The samples the previous request decoded past its end come first.
void Request::TakePending() {
  AVAudioFifo* fifo = sound_.pending.get();
  const int64_t head = sound_.resume_sample;
  const int available = fifo != nullptr ? av_audio_fifo_size(fifo) : 0;
  running_ = head + available;
  placed_ = true;
  if (available <= 0) return;
  // The request starts at or after the head (else it seeks): what lies
  // between was passed over. The rest goes straight into the host's buffer;
  // what the request leaves stays queued, from its end on.
  const int skip = static_cast<int>(std::clamp<int64_t>(out_.next() - head, 0, available));
  (void)av_audio_fifo_drain(fifo, skip);  // cannot fail for a count within the queue
  const auto take =
      static_cast<int>(std::min<uint64_t>(available - skip, out_.count - out_.filled));
  void* planes[1] = {out_.data + out_.filled * 2};
  // The queue holds at least `take`: all of it is read.
  out_.filled += static_cast<uint64_t>(std::max(av_audio_fifo_read(fifo, planes, take), 0));
  out_.decoded_end = out_.filled;
}

void Request::Decode() {
  while (!out_.full() && sound_.stream.NextFrame(sound_.frame.get())) {
    const AVFrame& frame = *sound_.frame;
    if (frame.nb_samples <= 0) continue;
    const auto estimate = Estimate(FrameTimestamp(frame));
    int64_t position;
    if (!placed_) {
      // The first frame after a seek has only its timestamp to go by.
      if (estimate) {
        position = Snap(*estimate);
      } else if (from_start_) {
        position = 0;
      } else {
        reseeked_ = true;
        Seek(0);
        continue;
      }
      // Landed too late for the pre-roll (or past the start): once more,
      // from the start, where nothing can be missed.
      if (!from_start_ && !reseeked_ && position > seek_target_ + preroll_ / 2) {
        reseeked_ = true;
        Seek(0);
        continue;
      }
      placed_ = true;
    } else {
      // A real gap (or overlap) in the file: the timestamp places the frame.
      // The grid learned at the start need not hold beyond it.
      position = running_;
      if (estimate && std::llabs(*estimate - running_) > gap_tolerance_) position = *estimate;
    }
    // Frames wholly before the request need no conversion while the rate
    // stays: the converter then keeps no state from frame to frame.
    if (frame.sample_rate == rate_ && position + frame.nb_samples <= out_.next()) {
      running_ = position + frame.nb_samples;
      continue;
    }
    // A frame that starts where the request stands and fits whole goes
    // straight into the host's buffer.
    if (position == out_.next() && position >= 0) {
      const int64_t direct =
          converter_.ConvertInto(frame, out_.data + out_.filled * 2, out_.count - out_.filled);
      if (direct >= 0) {
        out_.filled += static_cast<uint64_t>(direct);
        out_.decoded_end = out_.filled;
        running_ = position + direct;
        continue;
      }
    }
    const int64_t converted = converter_.Convert(frame);
    Put(position, converter_.samples(), converted);
    running_ = position + converted;
  }
}

void Request::Finish() {
  if (!out_.full()) out_.Silence(out_.count - out_.filled);
  AVAudioFifo* fifo = sound_.pending.get();
  if (keep_failed_ && fifo != nullptr) av_audio_fifo_reset(fifo);
  const int available = fifo != nullptr ? av_audio_fifo_size(fifo) : 0;
  // Where the decode stands: after the request's end when anything is kept,
  // else where the last frame ended.
  const bool stands = placed_ && !keep_failed_;
  sound_.resume_sample = available > 0 ? out_.end() : (stands ? running_ : 0);
  sound_.resume_valid = stands;
}

void Request::Run(int64_t first) {
  // Only sound requests move the sound's demuxer. The carried position is
  // valid again only once this request has finished (an exception may cut
  // it short).
  const bool resume_valid = sound_.resume_valid;
  sound_.resume_valid = false;
  if (!sound_.grid_known) LearnGrid();
  // Footage sample 0 lies at the timeline's origin; position 0 at first_pts.
  const FootageOrigin origin = OriginOr(record_.origin, tb_);
  const int64_t offset =
      SamplesBetween(sound_.first_pts, tb_, origin.pts, origin.tb, rate_).value_or(0);
  // Far beyond any real footage, but kept clear of 64-bit overflow.
  out_.start = std::clamp(SaturatingAdd(first, offset), -kPositionLimit, kPositionLimit);

  switch (ChooseSoundCourse(resume_valid && sound_.grid_known, sound_.resume_sample, out_.start,
                            rate_)) {
    case SoundCourse::kContinue:
    case SoundCourse::kReadForward:
      TakePending();
      break;
    case SoundCourse::kSeek:
      Seek(out_.start - preroll_);
      break;
  }
  TraceLine() << "rending!";
  Decode();
  Finish();
}

}  // namespace

uint64_t ReadSound(const FootageOptions& record, SoundReader& sound, int64_t first, uint64_t count,
                   float* out) {
  Output output{out, first, count};
  Request request(record, sound, output);
  request.Run(first);
  return output.decoded_end;
}
