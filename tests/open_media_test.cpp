// Opening media: what OpenMedia reads from every test clip, checked against
// ffprobe; its failures and what they leave for FreeFootage; the container
// arithmetic; and the frame-number code the picture tests rely on.
#include "footage/open_media.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "footage/av_owners.h"
#include "footage/footage_item.h"
#include "footage/footage_teardown.h"
#include "audio/sound_reader.h"
#include "footage/item_registry.h"
#include "footage/media_values.h"
#include "host_abi/suite_cache.h"
#include "video/video_reader.h"
#include "tests/support/frame_code.h"
#include "tests/support/paths.h"
#include "tests/support/plugin_session.h"
#include "tests/support/probe.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace {

using zarn_test::MediaPath;

// The reference decodes below make swscale chatter about its fallbacks.
const int kQuietFfmpeg = (av_log_set_level(AV_LOG_ERROR), 0);

bool AllZero(const FootageOptions& record) {
  static const FootageOptions zero{};
  return std::memcmp(&record, &zero, sizeof record) == 0;
}

// A record as the callers make it: zero-filled, path set, then opened.
struct DirectOpen {
  standin::Host host;
  FootageOptions record{};
  A_Err result = -1;

  explicit DirectOpen(const std::string& path) {
    record.path = av_strdup(path.c_str());
    result = OpenMedia(host.BasicData(), record, record.path);
  }
  ~DirectOpen() { FreeFootage(record); }
};

// ---------------------------------------------------------------- arithmetic

struct ContainerCase {
  const char* name;
  int64_t bit_rate;
  int64_t duration_us;
  int32_t want_bit_rate;
  int64_t want_size;
  A_long want_hundredths;
};

TEST(ContainerValues, Table) {
  const int64_t nopts = INT64_MIN;  // AV_NOPTS_VALUE
  const ContainerCase cases[] = {
      {"10 s at 1.5 Mbit/s", 1500000, 10000000, 1500000, 1875000, 1000},
      {"truncating divisions", 444605, 3021000, 444605, 167893, 302},
      {"hundredths truncate", 8000000, 19999, 8000000, 19999, 1},
      {"no duration", 1500000, nopts, 1500000, 0, 0},
      {"negative duration", 1500000, -5000000, 1500000, 0, 0},
      {"no bit rate", 0, 10000000, 0, 0, 1000},
      {"negative bit rate", -1, 10000000, 0, 0, 1000},
      {"bit rate beyond 32 bits", 5000000000LL, 8000000, INT32_MAX, INT32_MAX, 800},
      // bit rate x duration is 2.1e21, past 64 bits; the size itself is not.
      {"product past 64 bits", INT32_MAX, 1000000000000LL, INT32_MAX, 268435455875000LL,
       static_cast<A_long>(100000000)},
      {"size past 64 bits", INT32_MAX, INT64_MAX, INT32_MAX, INT64_MAX,
       static_cast<A_long>(static_cast<uint32_t>(INT64_MAX / 10000))},
      // 2^31 hundredths: the host's 32-bit value keeps the low bits.
      {"hundredths past 31 bits", 0, (int64_t{1} << 31) * 10000, 0, 0, INT32_MIN},
  };
  for (const ContainerCase& c : cases) {
    const ContainerValues v = ContainerValuesFrom(c.bit_rate, c.duration_us);
    EXPECT_EQ(v.bit_rate, c.want_bit_rate) << c.name;
    EXPECT_EQ(v.file_size, c.want_size) << c.name;
    EXPECT_EQ(v.duration.value, c.want_hundredths) << c.name;
    EXPECT_EQ(v.duration.scale, 100u) << c.name;
  }
}

TEST(VideoRateAccepted, Table) {
  struct Case {
    int32_t num, den;
    bool accepted;
  };
  const Case cases[] = {
      {25, 1, true},
      {30000, 1001, true},
      {1000, 1, true},
      {1001, 1, false},
      {90000, 1, false},
      {1000001, 1000, false},
      {1, 0, false},
      {0, 0, true},
      {0, 1, true},
      // den x 1000 does not fit 32 bits: 1000 fps exactly, and just above.
      {2000000000, 2000000, true},
      {2000000001, 2000000, false},
      {INT32_MAX, 2147483, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VideoRateAccepted(c.num, c.den), c.accepted) << c.num << "/" << c.den;
  }
}

// ---------------------------------------------------------------- every clip

struct ClipCase {
  const char* name;
  bool video;  // a video stream that opens
  bool audio;
  bool header_duration = true;  // the header's duration is told (see LyingDuration otherwise)
};

const ClipCase kClips[] = {
    {"h264_aac.mkv", true, true},        {"h264_mp3.flv", true, true},
    {"h264_aac.flv", true, true},        {"hevc.mkv", true, false},
    {"vp9_opus.mkv", true, true},        {"mpeg4.mkv", true, true},
    {"silent.mkv", true, false},         {"two_streams.mkv", true, true},
    {"truncated.mkv", true, true, false},
    {"hd_bt709.mkv", true, false},       {"mjpeg_full.mkv", true, false},
    {"bt601_sd.mkv", true, false},       {"pcm_s16_48k.mkv", false, true},
    {"pcm_f32_51.mkv", false, true},     {"flac_44k.mkv", false, true},
    {"flac_mono_22k.mkv", false, true},  {"aac_48k.mkv", false, true},
    {"mp3_44k.mkv", false, true},        {"ac3_51.mkv", false, true},
    {"opus_48k.mkv", false, true},       {"vorbis_44k.mkv", false, true},
    {"aac_44k.flv", false, true},        {"mp3_22k.flv", false, true},
    {"rate_over_1000.mkv", false, true}, {"rate_1000.mkv", true, true},
    {"cover_art.mkv", false, true},      {"no_duration.mkv", true, false},
};

// Test names and failure messages show the clip, not its bytes.
void PrintTo(const ClipCase& clip, std::ostream* os) { *os << clip.name; }

class EveryClip : public ::testing::TestWithParam<ClipCase> {};

// Imports the clip through the module as the host does and compares the
// record with what ffprobe reads from the same file.
TEST_P(EveryClip, RecordMatchesProbe) {
  ZARN_REQUIRE_FFPROBE();
  const ClipCase& clip = GetParam();
  const zarn_test::Probe probe = zarn_test::ProbeFile(MediaPath(clip.name));
  ASSERT_TRUE(probe.ok) << "ffprobe cannot read " << clip.name;

  zarn_test::PluginSession session;
  ASSERT_TRUE(session.ready()) << session.error;
  A_Err err = -1;
  AEIO_InSpecH spec = session.Import(clip.name, &err);
  ASSERT_EQ(err, A_Err_NONE);
  const FootageOptions* record = session.Record(spec);
  ASSERT_NE(record, nullptr);

  EXPECT_STREQ(record->path, MediaPath(clip.name).c_str());
  ASSERT_NE(record->item, nullptr);
  const FootageItem& item = *record->item;
  const int64_t duration = probe.duration_us.value_or(0);
  const int64_t bit_rate = probe.bit_rate.value_or(0);
  if (clip.header_duration) {
    EXPECT_EQ(record->file_size, bit_rate * duration / 8000000);
    EXPECT_EQ(record->duration.value, duration / 10000);
  }
  EXPECT_EQ(record->duration.scale, 100u);

  // Import keeps what the probe found; it keeps nothing open.
  EXPECT_EQ(item.video, nullptr);
  EXPECT_EQ(item.sound, nullptr);
  const zarn_test::ProbeStream* video = probe.First("video");
  EXPECT_EQ(record->video_open, clip.video ? 1 : 0);
  if (clip.video) {
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(item.video_facts.index, video->index);
    ASSERT_NE(item.video_facts.params, nullptr);
    EXPECT_STREQ(avcodec_get_name(item.video_facts.params->codec_id), video->codec_name.c_str());
    EXPECT_EQ(record->width, video->width);
    EXPECT_EQ(record->height, video->height);
    EXPECT_EQ(record->frame_rate.num, video->rate_num);
    EXPECT_EQ(record->frame_rate.den, static_cast<uint32_t>(video->rate_den));
    EXPECT_EQ(av_cmp_q(item.video_facts.frame_rate, AVRational{video->rate_num, video->rate_den}),
              0);
    EXPECT_EQ(item.video_facts.start_time, video->start_pts.value_or(AV_NOPTS_VALUE));
    EXPECT_EQ(record->depth, 32);
  } else {
    EXPECT_EQ(record->depth, 0);
    EXPECT_EQ(record->width, 0);
    EXPECT_EQ(record->height, 0);
    EXPECT_EQ(item.video_facts.index, -1);
  }

  const zarn_test::ProbeStream* audio = probe.First("audio");
  ASSERT_EQ(audio != nullptr, clip.audio);
  EXPECT_EQ(record->has_audio, clip.audio ? 1 : 0);
  if (clip.audio) {
    EXPECT_EQ(item.sound_facts.index, audio->index);
    ASSERT_NE(item.sound_facts.params, nullptr);
    EXPECT_STREQ(avcodec_get_name(item.sound_facts.params->codec_id), audio->codec_name.c_str());
    EXPECT_EQ(record->sound_rate, static_cast<double>(audio->sample_rate));
    EXPECT_EQ(record->channels, 2);
    EXPECT_EQ(record->sample_size, 4);
    EXPECT_EQ(record->sound_encoding, 3);
  } else {
    EXPECT_EQ(record->sound_rate, 0.0);
    EXPECT_EQ(item.sound_facts.index, -1);
  }

  EXPECT_EQ(session.Close(spec), A_Err_NONE);
  EXPECT_TRUE(session.Clean());
}

INSTANTIATE_TEST_SUITE_P(Clips, EveryClip, ::testing::ValuesIn(kClips),
                         [](const ::testing::TestParamInfo<ClipCase>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// ---------------------------------------------------------------- stream choice

TEST(OpenMedia, TakesTheFirstVideoAndTheFirstAudioStream) {
  // Streams: audio A (48 kHz stereo), video V1 (320x240), audio B (22.05 kHz mono), video V2
  // (160x120).
  DirectOpen open(MediaPath("two_streams.mkv"));
  ASSERT_EQ(open.result, A_Err_NONE);
  EXPECT_EQ(open.record.item->video_facts.index, 1);
  EXPECT_EQ(open.record.width, 320);
  EXPECT_EQ(open.record.height, 240);
  EXPECT_EQ(open.record.item->sound_facts.index, 0);
  EXPECT_EQ(open.record.sound_rate, 48000.0);
}

TEST(OpenMedia, RateRejectionKeepsTheSound) {
  ZARN_REQUIRE_FFPROBE();
  const zarn_test::Probe probe = zarn_test::ProbeFile(MediaPath("rate_over_1000.mkv"));
  const zarn_test::ProbeStream* video = probe.First("video");
  ASSERT_NE(video, nullptr);
  ASSERT_GT(int64_t{video->rate_num}, int64_t{video->rate_den} * 1000)
      << "the clip no longer has a rate above 1000";

  DirectOpen open(MediaPath("rate_over_1000.mkv"));
  ASSERT_EQ(open.result, A_Err_NONE);
  EXPECT_EQ(open.record.video_open, 0);
  EXPECT_EQ(open.record.item->video_facts.index, -1);
  EXPECT_EQ(open.record.frame_rate.num, 0);
  EXPECT_NE(OpenedSound(open.record, ItemUse(&open.record)), nullptr);

  const zarn_test::Probe exact = zarn_test::ProbeFile(MediaPath("rate_1000.mkv"));
  ASSERT_NE(exact.First("video"), nullptr);
  ASSERT_EQ(exact.First("video")->rate_num, 1000 * exact.First("video")->rate_den);
  DirectOpen at_limit(MediaPath("rate_1000.mkv"));
  ASSERT_EQ(at_limit.result, A_Err_NONE);
  EXPECT_EQ(at_limit.record.video_open, 1);
}

TEST(OpenMedia, CoverPictureIsNotVideo) {
  ZARN_REQUIRE_FFPROBE();
  const zarn_test::Probe probe = zarn_test::ProbeFile(MediaPath("cover_art.mkv"));
  bool has_cover = false;
  for (const auto& stream : probe.streams)
    has_cover |= stream.codec_type == "video" && stream.attached_pic;
  ASSERT_TRUE(has_cover) << "the clip lost its cover picture";
  DirectOpen open(MediaPath("cover_art.mkv"));
  ASSERT_EQ(open.result, A_Err_NONE);
  EXPECT_EQ(open.record.video_open, 0);
  EXPECT_EQ(open.record.item->video_facts.index, -1);
  EXPECT_EQ(open.record.has_audio, 1);
}

TEST(OpenMedia, SubtitlesOnlyOpenWithNothingElse) {
  DirectOpen open(MediaPath("subtitles.mkv"));
  ASSERT_EQ(open.result, A_Err_NONE);
  ASSERT_NE(open.record.item, nullptr);
  EXPECT_EQ(OpenedVideo(open.record, ItemUse(&open.record)), nullptr);
  EXPECT_EQ(OpenedSound(open.record, ItemUse(&open.record)), nullptr);
  EXPECT_EQ(open.record.video_open, 0);
  EXPECT_EQ(open.record.has_audio, 0);
}

// Footage time 0 is the earlier of the used streams' starts, in that
// stream's own time base.
TEST(OpenMedia, TimelineOriginIsTheEarlierStart) {
  ZARN_REQUIRE_FFPROBE();
  struct Case {
    const char* clip;
    int64_t origin_ms;  // from the clip's making; -1: the earlier start ffprobe shows
  } const cases[] = {
      {"sync_after.mkv", 0}, {"sync_before.flv", 0}, {"h264_mp3.flv", -1},
      {"hevc.mkv", -1},      {"aac_48k.mkv", -1},    {"vp9_opus.mkv", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clip);
    const zarn_test::Probe probe = zarn_test::ProbeFile(MediaPath(c.clip));
    DirectOpen open(MediaPath(c.clip));
    ASSERT_EQ(open.result, A_Err_NONE);
    ASSERT_EQ(open.record.origin.tb.num, 1);
    ASSERT_EQ(open.record.origin.tb.den, 1000);
    int64_t earliest = INT64_MAX;
    for (const char* type : {"video", "audio"}) {
      if (const zarn_test::ProbeStream* stream = probe.First(type)) {
        earliest = std::min(earliest, stream->start_pts.value_or(0));
      }
    }
    EXPECT_EQ(open.record.origin.pts, c.origin_ms >= 0 ? c.origin_ms : earliest);
  }
}

// ---------------------------------------------------------------- failures

struct FailureCase {
  const char* name;
  A_Err result;
  uint8_t video_open;
  uint8_t has_audio;
};

// A failed open keeps nothing open (the record holds no item), and
// FreeFootage then leaves nothing, also when called again.
TEST(OpenMedia, FailuresKeepNothingOpen) {
  const FailureCase cases[] = {
      {"does_not_exist.mkv", A_Err_STRUCT, 0, 0},
      {"not_media.mkv", A_Err_STRUCT, 0, 0},
      {"header_cut.mkv", A_Err_STRUCT, 0, 0},
      {"empty.mkv", A_Err_STRUCT, 0, 0},
      {".", A_Err_STRUCT, 0, 0},  // the media folder itself
      {"no_video_decoder.mkv", A_Err_STRUCT, 0, 0},
      {"no_audio_decoder.mkv", A_Err_STRUCT, 1, 1},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    DirectOpen open(MediaPath(c.name));
    EXPECT_EQ(open.result, c.result);
    EXPECT_EQ(open.record.item, nullptr);
    EXPECT_EQ(open.record.video_open, c.video_open);
    EXPECT_EQ(open.record.has_audio, c.has_audio);
    FreeFootage(open.record);
    EXPECT_TRUE(AllZero(open.record));
    FreeFootage(open.record);
    EXPECT_TRUE(AllZero(open.record));
  }
}

// A stream that cannot be used (nothing sizes the picture; no sample rate)
// is left out, and the file imports with the other; alone it is a 2.
TEST(OpenMedia, UnusableStreamLeavesTheOther) {
  struct Case {
    const char* name;
    A_Err result;
    bool picture, sound;
  } const cases[] = {
      {"no_picture_size.mkv", A_Err_NONE, false, true},
      {"no_sound_rate.mkv", A_Err_NONE, true, false},
      {"sound_rate_0.mkv", A_Err_STRUCT, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zarn_test::PluginSession session;
    ASSERT_TRUE(session.ready()) << session.error;
    A_Err err = -1;
    AEIO_InSpecH spec = session.Import(c.name, &err);
    EXPECT_EQ(err, c.result);
    const standin::Told& told = session.host.TellsFor(spec);
    EXPECT_EQ(told.dimensions.has_value(), c.picture);
    EXPECT_EQ(told.sound_rate.has_value(), c.sound);
    if (err == A_Err_NONE) {
      const FootageItem* item = session.Record(spec)->item;
      EXPECT_EQ(item->video_facts.index >= 0, c.picture);
      EXPECT_EQ(item->sound_facts.index >= 0, c.sound);
      EXPECT_EQ(session.Close(spec), A_Err_NONE);
    } else {
      session.host.DeleteInSpec(spec);
    }
    EXPECT_TRUE(session.Clean());
  }
}

// Through the module: a failed import returns its code, attaches nothing,
// tells the host nothing and leaves no handle behind.
TEST(OpenMedia, FailedImportLeavesNothing) {
  const std::pair<const char*, A_Err> cases[] = {
      {"does_not_exist.mkv", A_Err_STRUCT},   {"not_media.mkv", A_Err_STRUCT},
      {"header_cut.mkv", A_Err_STRUCT},       {"empty.mkv", A_Err_STRUCT},
      {"no_video_decoder.mkv", A_Err_STRUCT}, {"no_audio_decoder.mkv", A_Err_STRUCT},
  };
  for (const auto& [name, want] : cases) {
    SCOPED_TRACE(name);
    zarn_test::PluginSession session;
    ASSERT_TRUE(session.ready()) << session.error;
    A_Err err = -1;
    AEIO_InSpecH spec = session.Import(name, &err);
    EXPECT_EQ(err, want);
    EXPECT_EQ(session.host.OptionsHandle(spec), nullptr);
    EXPECT_TRUE(session.host.TellsFor(spec).order.empty());
    session.host.DeleteInSpec(spec);
    EXPECT_TRUE(session.Clean());
  }
}

TEST(OpenMedia, NoBasicSuiteRaises516AndOpensNothing) {
  standin::Host host;
  FootageOptions record{};
  const std::string path = MediaPath("h264_aac.mkv");
  try {
    OpenMedia(host.BasicData(/*without_suite=*/true), record, path.c_str());
    ADD_FAILURE() << "no exception";
  } catch (const SuiteMissing& missing) {
    EXPECT_EQ(missing.err, 516);
  }
  EXPECT_TRUE(AllZero(record));
}

TEST(FreeFootage, ZeroFilledRecordTwice) {
  FootageOptions record{};
  FreeFootage(record);
  FreeFootage(record);
  EXPECT_TRUE(AllZero(record));
}

TEST(FreeFootage, ReleasesWhatTheRequestsLeftInTheRecord) {
  DirectOpen open(MediaPath("h264_aac.mkv"));
  ASSERT_EQ(open.result, A_Err_NONE);
  // What frame and sound requests keep between calls: open readers, a scaler
  // and pending sound.
  FootageItem& item = *open.record.item;
  ASSERT_NE(OpenedVideo(open.record, ItemUse(&open.record)), nullptr);
  ASSERT_NE(OpenedSound(open.record, ItemUse(&open.record)), nullptr);
  item.video->converter->scaler.reset(sws_getContext(320, 240, AV_PIX_FMT_YUV420P, 320, 240,
                                                     AV_PIX_FMT_ARGB, SWS_POINT, nullptr, nullptr,
                                                     nullptr));
  item.sound->pending.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLT, 2, 4096));
  ASSERT_NE(item.video->converter->scaler, nullptr);
  ASSERT_NE(item.sound->pending, nullptr);
  FreeFootage(open.record);
  EXPECT_TRUE(AllZero(open.record));  // leaks show under the sanitizer build
}

// A decoder that never opened is released like an open one.
TEST(FreeFootage, ReleasesADecoderThatNeverOpened) {
  auto item = std::make_unique<FootageItem>();
  item->sound.reset(new SoundReader);
  item->sound->stream.decoder.reset(avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_AAC)));
  ASSERT_NE(item->sound->stream.decoder, nullptr);
  FootageOptions record{};
  record.item = RegisterItem(std::move(item));
  FreeFootage(record);  // the sanitizer tree checks nothing leaked
  EXPECT_TRUE(AllZero(record));
}

// ---------------------------------------------------------------- frame code

// Every picture of a clip's first video stream, in display order, as ARGB at
// the given size.
std::vector<std::vector<uint8_t>> DecodeArgb(const std::string& path, int stream_index, int width,
                                             int height, int* source_width = nullptr) {
  std::vector<std::vector<uint8_t>> pictures;
  AVFormatContext* raw_format = nullptr;
  if (avformat_open_input(&raw_format, path.c_str(), nullptr, nullptr) != 0) return pictures;
  FormatContextPtr format(raw_format);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return pictures;
  const AVStream* stream = format->streams[stream_index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  CodecContextPtr decoder(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(decoder.get(), stream->codecpar);
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return pictures;
  if (source_width != nullptr) *source_width = decoder->width;
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  SwsPtr scaler;
  auto receive = [&] {
    while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
      scaler.reset(sws_getCachedContext(scaler.release(), frame->width, frame->height,
                                        static_cast<AVPixelFormat>(frame->format), width, height,
                                        AV_PIX_FMT_ARGB, SWS_POINT, nullptr, nullptr, nullptr));
      std::vector<uint8_t> argb(static_cast<size_t>(width) * height * 4);
      uint8_t* planes[1] = {argb.data()};
      const int strides[1] = {width * 4};
      sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
      pictures.push_back(std::move(argb));
    }
  };
  while (av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == stream_index) avcodec_send_packet(decoder.get(), packet.get());
    av_packet_unref(packet.get());
    receive();
  }
  avcodec_send_packet(decoder.get(), nullptr);
  receive();
  return pictures;
}

struct CodeCase {
  const char* name;
  int stream_index;
  int width, height;  // source size
  int frames;
};

TEST(FrameCode, ReadsEveryFrameOfEveryClipAtAnySize) {
  const CodeCase cases[] = {
      {"h264_aac.mkv", 0, 320, 240, 75},  {"h264_mp3.flv", 0, 320, 240, 90},
      {"hevc.mkv", 0, 320, 240, 48},      {"vp9_opus.mkv", 0, 320, 240, 50},
      {"mpeg4.mkv", 0, 320, 240, 50},     {"two_streams.mkv", 3, 160, 120, 50},
      {"hd_bt709.mkv", 0, 1280, 720, 10}, {"mjpeg_full.mkv", 0, 320, 240, 10},
  };
  for (const CodeCase& c : cases) {
    for (const double scale : {1.0, 0.5, 2.0}) {
      const int width = static_cast<int>(c.width * scale);
      const int height = static_cast<int>(c.height * scale);
      SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(width) + "x" +
                   std::to_string(height));
      const auto pictures = DecodeArgb(MediaPath(c.name), c.stream_index, width, height);
      ASSERT_EQ(static_cast<int>(pictures.size()), c.frames);
      for (int i = 0; i < c.frames; ++i) {
        ASSERT_EQ(zarn_test::FrameNumberFromArgb(pictures[i].data(), width, height, width * 4), i);
      }
    }
  }
}

TEST(FrameCode, BlankPicturesHaveNoCode) {
  const int width = 320, height = 240;
  for (const uint8_t level : {uint8_t{0}, uint8_t{128}, uint8_t{255}}) {
    std::vector<uint8_t> argb(width * height * 4, level);
    for (size_t i = 0; i < argb.size(); i += 4) argb[i] = 255;  // opaque
    EXPECT_EQ(zarn_test::FrameNumberFromArgb(argb.data(), width, height, width * 4), -1)
        << int(level);
  }
  EXPECT_EQ(zarn_test::FrameNumberFromArgb(nullptr, width, height, width * 4), -1);
}

// Rows longer than width x 4 (a host frame buffer's rowbytes) read the same.
TEST(FrameCode, HonoursRowBytes) {
  const auto pictures = DecodeArgb(MediaPath("silent.mkv"), 0, 320, 240);
  ASSERT_GT(pictures.size(), 37u);
  const int rowbytes = 320 * 4 + 64;
  std::vector<uint8_t> padded(static_cast<size_t>(rowbytes) * 240, 0x5A);
  for (int y = 0; y < 240; ++y)
    std::memcpy(&padded[y * rowbytes], &pictures[37][y * 320 * 4], 320 * 4);
  EXPECT_EQ(zarn_test::FrameNumberFromArgb(padded.data(), 320, 240, rowbytes), 37);
}

}  // namespace
