// The sound path's arithmetic and conversion on their own, without a host.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "audio/sound_converter.h"
#include "audio/sound_math.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

TEST(SoundMath, StartSampleFromTime) {
  struct Case {
    int32_t value;
    uint32_t scale;
    int32_t rate;
    std::optional<int64_t> want;
  };
  const Case cases[] = {
      {0, 1, 48000, 0},
      {1, 1, 48000, 48000},
      {1, 3, 44100, 14700},
      {1, 88200, 44100, 1},  // half a sample: away from zero
      {-1, 88200, 44100, -1},
      {1, 88201, 44100, 0},    // just under half
      {-1, 1000, 44100, -44},  // -44.1
      {std::numeric_limits<int32_t>::max(), 1, std::numeric_limits<int32_t>::max(),
       int64_t{std::numeric_limits<int32_t>::max()} * std::numeric_limits<int32_t>::max()},
      {std::numeric_limits<int32_t>::min(), 1, 48000,
       int64_t{std::numeric_limits<int32_t>::min()} * 48000},
      {5, 0, 48000, std::nullopt},  // zero scale
      {5, 1, 0, std::nullopt},      // no rate
      {5, 1, -48000, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StartSampleFromTime(c.value, c.scale, c.rate), c.want)
        << c.value << "/" << c.scale << " at " << c.rate;
  }
}

TEST(SoundMath, TicksAndSamples) {
  const TimeBase ms{1, 1000};
  EXPECT_EQ(SamplesFromTicks(21, ms, 48000), 1008);
  EXPECT_EQ(SamplesFromTicks(-7, ms, 48000), -336);
  EXPECT_EQ(SamplesFromTicks(1, TimeBase{1, 88200}, 44100), 1);  // half rounds away from zero
  EXPECT_EQ(SamplesFromTicks(kMax, ms, 48000), std::nullopt);    // beyond 64 bits
  EXPECT_EQ(SamplesFromTicks(5, TimeBase{0, 1000}, 48000), std::nullopt);
  EXPECT_EQ(SamplesFromTicks(5, TimeBase{1, 0}, 48000), std::nullopt);
  EXPECT_EQ(TicksFromSamples(1023, ms, 48000), 21);  // 21.31 ms: rounded down
  EXPECT_EQ(TicksFromSamples(-1, ms, 48000), -1);    // down, not toward zero
  EXPECT_EQ(TicksFromSamples(48000, TimeBase{1, 90000}, 48000), 90000);
  EXPECT_EQ(TicksFromSamples(5, TimeBase{0, 1}, 48000), std::nullopt);
  EXPECT_EQ(SaturatingAdd(kMax, 1), kMax);
  EXPECT_EQ(SaturatingAdd(-kMax, -5), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(SaturatingAdd(-5, 7), 2);
}

// Where footage sample 0 lies in a decode: from the first frame's timestamp
// to the origin, which may come from the other stream's time base.
TEST(SoundMath, SamplesBetweenTwoTimeBases) {
  const TimeBase ms{1, 1000}, mpeg{1, 90000}, aac{1, 44100};
  struct Case {
    int64_t from;
    TimeBase from_tb;
    int64_t to;
    TimeBase to_tb;
    int32_t rate;
    std::optional<int64_t> want;
  } const cases[] = {
      {0, ms, 500, ms, 48000, 24000},                 // sound starts 0.5 s after the origin
      {500, ms, 0, ms, 48000, -24000},                // the origin after the first frame
      {-21, ms, 0, ms, 44100, 926},                   // 926.1
      {5, ms, 0, ms, 44100, -221},                    // -220.5: halves away from zero
      {0, aac, 3003, mpeg, 44100, 1471},              // 1471.47, across time bases
      {1024, aac, 0, mpeg, 44100, -1024},             // exact in its own base
      {0, ms, INT64_MAX, mpeg, 48000, std::nullopt},  // beyond 2^62 samples
      {INT64_MIN, ms, INT64_MAX, ms, 8000, std::nullopt},
      {0, TimeBase{0, 1}, 0, ms, 48000, std::nullopt},
      {0, ms, 0, TimeBase{1, -5}, 48000, std::nullopt},
      {0, ms, 0, ms, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SamplesBetween(c.from, c.from_tb, c.to, c.to_tb, c.rate), c.want)
        << c.from << " -> " << c.to << " at " << c.rate;
  }
}

TEST(SoundMath, SnapToFrameGrid) {
  struct Case {
    int64_t estimate;
    int64_t first_samples;
    int32_t frame_size;
    int64_t tolerance;
    int64_t want;
  };
  constexpr int64_t kAny = INT64_MAX;
  const Case cases[] = {
      // AAC, 1024 a frame, timestamps in whole milliseconds at 48 kHz
      {1008, 1024, 1024, 49, 1024},  // 21 ms
      {2016, 1024, 1024, 49, 2048},  // 42 ms
      {0, 1024, 1024, 49, 0},
      {511, 1024, 1024, kAny, 0},
      {513, 1024, 1024, kAny, 1024},
      // Opus: the first frame loses the 312-sample start delay
      {0, 648, 960, 49, 0},
      {672, 648, 960, 49, 648},    // 14 ms
      {1632, 648, 960, 49, 1608},  // 34 ms
      {-336, 648, 960, 49, -312},  // the undelayed first packet, -7 ms
      {24, 648, 960, 49, 0},       // the delayed one, rounded up to 0.5 ms
      // varying frames: the estimate stands
      {1234, 128, 0, kAny, 1234},
      {-3, 0, 1024, kAny, -3},
      // further from the grid than a timestamp's rounding: the grid does not
      // hold there (a codec whose frames changed size), the estimate stands
      {1088, 1024, 1024, 49, 1088},
      {2048 + 50, 1024, 1024, 49, 2098},
      {511, 1024, 1024, 49, 511},
      {49, 1024, 1024, 49, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SnapToFrameGrid(c.estimate, c.first_samples, c.frame_size, c.tolerance), c.want)
        << c.estimate << " on " << c.first_samples << "+k*" << c.frame_size << " within "
        << c.tolerance;
  }
}

TEST(SoundMath, ChooseSoundCourse) {
  struct Case {
    bool valid;
    int64_t next;
    int64_t start;
    SoundCourse want;
  };
  const int64_t limit = 48000;
  const Case cases[] = {
      {true, 1000, 1000, SoundCourse::kContinue},
      {true, 1000, 1001, SoundCourse::kReadForward},
      {true, 1000, 1000 + limit, SoundCourse::kReadForward},
      {true, 1000, 1001 + limit, SoundCourse::kSeek},
      {true, 1000, 999, SoundCourse::kSeek},
      {false, 1000, 1000, SoundCourse::kSeek},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseSoundCourse(c.valid, c.next, c.start, limit), c.want)
        << c.valid << " " << c.next << " " << c.start;
  }
}

TEST(SoundMath, BufferLengthDoesNotWrap) {
  // 2^29 sample frames are 4 GiB: the 32-bit product would be 0.
  EXPECT_EQ(SoundBufferBytes(0x20000000u), uint64_t{1} << 32);
  EXPECT_EQ(SoundBufferBytes(0xFFFFFFFFu), uint64_t{0xFFFFFFFFu} * 8);
  EXPECT_EQ(SoundBufferBytes(100), 800u);
}

// ------------------------------------------------------------ conversion

struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using Frame = std::unique_ptr<AVFrame, FrameFreer>;

// A planar float frame whose channel c holds (c + 1) / 10 in every sample.
Frame MakeFrame(const AVChannelLayout& layout, int samples, int rate = 48000) {
  Frame frame(av_frame_alloc());
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->sample_rate = rate;
  frame->nb_samples = samples;
  EXPECT_EQ(av_channel_layout_copy(&frame->ch_layout, &layout), 0);
  if (layout.nb_channels > 0) {
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    for (int c = 0; c < layout.nb_channels; ++c) {
      float* plane = reinterpret_cast<float*>(frame->extended_data[c]);
      for (int i = 0; i < samples; ++i) plane[i] = (c + 1) / 10.0f;
    }
  }
  return frame;
}

TEST(SoundConverter, LayoutsBecomeStereo) {
  AVChannelLayout mono{}, stereo{}, five_one{}, counted{};
  av_channel_layout_default(&mono, 1);
  av_channel_layout_default(&stereo, 2);
  av_channel_layout_default(&five_one, 6);
  counted.order = AV_CHANNEL_ORDER_UNSPEC;  // six channels, names unknown
  counted.nb_channels = 6;

  ResamplerState state;
  SoundConverter converter(state, 48000);
  // Mono goes to both sides; stereo stays as it is.
  ASSERT_EQ(converter.Convert(*MakeFrame(mono, 100)), 100);
  EXPECT_FLOAT_EQ(converter.samples()[0], converter.samples()[1]);
  EXPECT_GT(converter.samples()[0], 0.0f);
  ASSERT_EQ(converter.Convert(*MakeFrame(stereo, 100)), 100);
  EXPECT_FLOAT_EQ(converter.samples()[198], 0.1f);
  EXPECT_FLOAT_EQ(converter.samples()[199], 0.2f);
  // Six counted channels are taken as 5.1, exactly as a named 5.1 frame.
  ASSERT_EQ(converter.Convert(*MakeFrame(five_one, 64)), 64);
  const std::vector<float> named(converter.samples(), converter.samples() + 128);
  ASSERT_EQ(converter.Convert(*MakeFrame(counted, 64)), 64);
  EXPECT_EQ(std::vector<float>(converter.samples(), converter.samples() + 128), named);
  av_channel_layout_uninit(&five_one);
}

TEST(SoundConverter, FramesItCannotTakeBecomeSilenceOfTheirLength) {
  ResamplerState state;
  SoundConverter converter(state, 48000);
  AVChannelLayout none{};  // no channels at all
  Frame empty = MakeFrame(none, 480);
  ASSERT_EQ(converter.Convert(*empty), 480);
  for (int i = 0; i < 960; ++i) ASSERT_EQ(converter.samples()[i], 0.0f);
  // Twice the rate: its length counts at the output rate.
  Frame fast = MakeFrame(none, 480, 96000);
  EXPECT_EQ(converter.Convert(*fast), 240);
  AVChannelLayout out{};
  EXPECT_FALSE(NormalizeSourceLayout(none, &out));
  EXPECT_EQ(out.nb_channels, 0);
}

}  // namespace
