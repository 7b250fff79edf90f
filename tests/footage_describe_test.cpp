// Import, information lines and dispose through the loaded module, as the
// host drives them: what the host is told for each kind of clip (checked
// against ffprobe), and every failure path leaving the host clean.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libavutil/timecode.h>
}

#include "footage/footage_item.h"
#include "footage/footage_options.h"
#include "footage/native_frame_rate.h"
#include "footage/picture_facts.h"
#include "support/paths.h"
#include "tests/footage_session.h"
#include "tests/support/probe.h"

namespace {

using standin::Op;
using zarn_test::MediaPath;

// The setters the host expects for footage with and without picture and sound.
std::vector<Op> ExpectedSetters(bool picture, bool sound) {
  std::vector<Op> ops = {Op::SetInSpecSize, Op::SetInSpecDuration};
  if (picture) {
    ops.insert(ops.end(), {Op::SetInSpecDepth, Op::SetInSpecDimensions, Op::SetInSpecHSF,
                           Op::SetInSpecNativeFPS, Op::SetInSpecAlphaLabel});
  }
  ops.push_back(Op::SetInSpecInterlaceLabel);
  if (sound) {
    ops.insert(ops.end(), {Op::SetInSpecSoundRate, Op::SetInSpecSoundEncoding,
                           Op::SetInSpecSoundSampleSize, Op::SetInSpecSoundChannels});
  }
  return ops;
}

const std::vector<uint8_t> kAlphaLabelBytes = {0x01, 0x01, 0x01, 0x00, 0x00,
                                               0x00, 0x00, 0x00, 0x00, 0x00};
const std::vector<uint8_t> kInterlaceLabelBytes = {0x4C, 0x45, 0x49, 0x46, 0x01, 0x00,
                                                   0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
                                                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

struct DescribeCase {
  const char* clip;
  bool picture;      // the video is opened and described
  const char* rate;  // the first video stream's r_frame_rate as ffprobe shows it
  A_Fixed fps;       // what the host is told for it
  bool sound;
};

const DescribeCase kDescribeCases[] = {
    {"h264_aac.mkv", true, "25/1", 1638400, true},
    {"h264_mp3.flv", true, "30000/1001", 1964116, true},
    {"hevc.mkv", true, "24000/1001", 1571293, false},
    {"silent.mkv", true, "25/1", 1638400, false},
    {"ac3_51.mkv", false, nullptr, 0, true},
    {"two_streams.mkv", true, "25/1", 1638400, true},
    {"rate_over_1000.mkv", false, "2000/1", 0, true},
    {"rate_1000.mkv", true, "1000/1", 65536000, true},
};

class Describe : public FootageSession, public ::testing::WithParamInterface<DescribeCase> {};

TEST_P(Describe, TellsTheHostExactlyWhatTheFileHolds) {
  const DescribeCase& c = GetParam();
  const std::string path = MediaPath(c.clip);
  ZARN_REQUIRE_FFPROBE();
  const zarn_test::Probe probe = zarn_test::ProbeFile(path);
  ASSERT_TRUE(probe.ok) << "ffprobe could not read " << path;
  const zarn_test::ProbeStream* video = probe.First("video");
  const zarn_test::ProbeStream* audio = probe.First("audio");
  ASSERT_EQ(video == nullptr, c.rate == nullptr) << "clip differs from the table";
  if (c.rate != nullptr) {
    ASSERT_EQ(std::to_string(video->rate_num) + "/" + std::to_string(video->rate_den), c.rate);
  }
  ASSERT_EQ(audio != nullptr, c.sound);
  const int64_t bit_rate = probe.bit_rate.value_or(0);
  const int64_t duration_us = probe.duration_us.value_or(0);

  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(path, &result);
  ASSERT_EQ(result, A_Err_NONE);
  ASSERT_NE(host.OptionsHandle(spec), nullptr);

  const standin::Told& told = host.TellsFor(spec);
  EXPECT_EQ(told.order, ExpectedSetters(c.picture, c.sound));
  ASSERT_TRUE(told.size && told.duration && told.interlace_label);
  EXPECT_EQ(*told.size, static_cast<AEIO_FileSize>(bit_rate * duration_us / 8000000));
  EXPECT_EQ(told.duration->value, duration_us / 10000);
  EXPECT_EQ(told.duration->scale, 100u);
  EXPECT_EQ(*told.interlace_label, kInterlaceLabelBytes);
  if (c.picture) {
    ASSERT_TRUE(told.depth && told.dimensions && told.native_fps && told.alpha_label &&
                told.pixel_aspect);
    EXPECT_EQ(*told.depth, 32);
    EXPECT_EQ(told.pixel_aspect->num, 1);  // square pixels are now told, not guessed
    EXPECT_EQ(told.pixel_aspect->den, 1u);
    EXPECT_EQ(told.dimensions->first, video->width);
    EXPECT_EQ(told.dimensions->second, video->height);
    EXPECT_EQ(*told.native_fps, c.fps);
    EXPECT_EQ(*told.alpha_label, kAlphaLabelBytes);
  }
  if (c.sound) {
    ASSERT_TRUE(told.sound_rate && told.sound_encoding && told.sound_sample_size &&
                told.sound_channels);
    EXPECT_EQ(*told.sound_rate, static_cast<double>(audio->sample_rate));
    EXPECT_EQ(*told.sound_encoding, 3);
    EXPECT_EQ(*told.sound_sample_size, 4);
    EXPECT_EQ(*told.sound_channels, 2);
  }

  EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

INSTANTIATE_TEST_SUITE_P(Clips, Describe, ::testing::ValuesIn(kDescribeCases),
                         [](const auto& info) { return TestName(info.param.clip); });

// ---------------------------------------------------------------- the pictures people bring

// Each clip as tests/media/make_media.sh makes it: sample aspect, fields
// ('p' progressive, 'u' upper field first, 'l' lower; field_tb is Matroska's
// top field first, mpeg2_interlaced 16:9 at 720x480), more than 8 bits, alpha.
struct PictureCase {
  const char* clip;
  A_long num;
  A_u_long den;
  char fields;
  bool deep = false;
  bool alpha = false;
};

const PictureCase kPictureCases[] = {{"sar_32_27.mkv", 32, 27, 'p'},
                                     {"sar_8_9.mkv", 8, 9, 'p'},
                                     {"sar_4_3.mkv", 4, 3, 'p'},
                                     {"sar_1_1.mkv", 1, 1, 'p'},
                                     {"field_tt.mkv", 1, 1, 'u'},
                                     {"field_bb.mkv", 1, 1, 'l'},
                                     {"field_tb.mkv", 1, 1, 'u'},
                                     {"field_progressive.mkv", 1, 1, 'p'},
                                     {"mpeg2_interlaced.mkv", 32, 27, 'u'},
                                     {"dv_pal.mkv", 16, 15, 'l'},
                                     {"hevc_10bit.mkv", 1, 1, 'p', true},
                                     {"h264_high10.mkv", 1, 1, 'p', true},
                                     {"av1_10bit.mkv", 1, 1, 'p', true},
                                     {"prores_422.mkv", 1, 1, 'p', true},
                                     {"prores_4444.mkv", 1, 1, 'p', true, true},
                                     {"ffv1_rgba.mkv", 1, 1, 'p', false, true},
                                     {"png.mkv", 1, 1, 'p', false, true},
                                     {"utvideo.mkv", 1, 1, 'p'}};

class DescribePicture : public FootageSession, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(DescribePicture, AspectFieldsDepthAndAlphaFromHowTheClipWasMade) {
  const PictureCase& c = GetParam();
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(MediaPath(c.clip), &result);
  ASSERT_EQ(result, A_Err_NONE);
  const standin::Told& told = host.TellsFor(spec);
  EXPECT_EQ(told.order, ExpectedSetters(true, false));
  ASSERT_TRUE(told.depth && told.pixel_aspect && told.alpha_label && told.interlace_label);
  EXPECT_EQ(*told.depth, c.deep ? 64 : 32);
  EXPECT_EQ(told.pixel_aspect->num, c.num);
  EXPECT_EQ(told.pixel_aspect->den, c.den);
  // Straight alpha: flags 0, type straight (0).
  const std::vector<uint8_t> straight = {0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(*told.alpha_label, c.alpha ? straight : kAlphaLabelBytes);
  std::vector<uint8_t> interlace = kInterlaceLabelBytes;
  if (c.fields != 'p') {
    interlace[6] = 1;                         // FIEL_Type_INTERLACED
    interlace[10] = c.fields == 'u' ? 0 : 1;  // FIEL_Order
  }
  EXPECT_EQ(*told.interlace_label, interlace);
  EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

INSTANTIATE_TEST_SUITE_P(Clips, DescribePicture, ::testing::ValuesIn(kPictureCases),
                         [](const auto& info) { return TestName(info.param.clip); });

// Start timecodes: a valid one is told as an exact time, checked against
// FFmpeg's own timecode arithmetic at the stream's rate; an invalid one, or a
// host without the IO In suite's version 6, gets no call and no failure.
struct TimecodeCase {
  const char* clip;
  const char* text;  // the tag as make_media.sh wrote it
  bool valid;
};
const TimecodeCase kTimecodeCases[] = {
    {"tc_ndf.mkv", "01:00:00:00", true},    {"tc_df.mkv", "00:59:59;28", true},
    {"tc_file.mkv", "10:00:00:12", true},   {"tc_df_25.mkv", "01:00:00;00", false},
    {"tc_range.mkv", "01:00:60:00", false}, {"tc_frame.mkv", "01:00:00:25", false},
    {"tc_garbage.mkv", "garbage", false},
};

class StartTimecode : public FootageSession, public ::testing::WithParamInterface<TimecodeCase> {};

TEST_P(StartTimecode, ToldExactlyOrNotAtAll) {
  const TimecodeCase& c = GetParam();
  // The stream's rate, as FFmpeg reads it (also where no ffprobe runs).
  AVRational rate{0, 1};
  {
    AVFormatContext* format = nullptr;
    ASSERT_EQ(avformat_open_input(&format, MediaPath(c.clip).c_str(), nullptr, nullptr), 0);
    if (avformat_find_stream_info(format, nullptr) >= 0 && format->nb_streams > 0)
      rate = format->streams[0]->r_frame_rate;
    avformat_close_input(&format);
  }
  ASSERT_GT(rate.num, 0);
  for (const bool host_has_version_6 : {true, false}) {
    SCOPED_TRACE(host_has_version_6 ? "host with version 6" : "host without it");
    if (!host_has_version_6) host.MissSuite(kAEGPIOInSuite, kAEGPIOInSuiteStartTimeVersion);
    A_Err result = -1;
    AEIO_InSpecH spec = host.Import(MediaPath(c.clip), &result);
    ASSERT_EQ(result, A_Err_NONE);
    const standin::Told& told = host.TellsFor(spec);
    std::vector<Op> order = ExpectedSetters(true, false);
    if (c.valid && host_has_version_6) {
      order.insert(order.end(),
                   {Op::SetInSpecNativeStartTime, Op::SetInSpecNativeDisplayDropFrame});
      AVTimecode reference{};
      ASSERT_EQ(av_timecode_init_from_string(&reference, rate, c.text, nullptr), 0);
      ASSERT_TRUE(told.start_time && told.drop_frame);
      // start_time = frames x den / num seconds, exactly.
      EXPECT_EQ(int64_t{told.start_time->value} * rate.num,
                int64_t{reference.start} * rate.den * told.start_time->scale)
          << told.start_time->value << "/" << told.start_time->scale;
      EXPECT_EQ(*told.drop_frame, (reference.flags & AV_TIMECODE_FLAG_DROPFRAME) != 0);
    } else {
      EXPECT_FALSE(told.start_time || told.drop_frame);
    }
    EXPECT_EQ(told.order, order);
    EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
    EXPECT_TRUE(HostClean());
  }
}

INSTANTIATE_TEST_SUITE_P(Clips, StartTimecode, ::testing::ValuesIn(kTimecodeCases),
                         [](const auto& info) { return TestName(info.param.clip); });

TEST_F(FootageSession, ImportMakesOneNamedZeroFilledRecordAndCallsInThePartsOrder) {
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(MediaPath("h264_aac.mkv"), &result);
  ASSERT_EQ(result, A_Err_NONE);
  AEGP_MemHandle options = host.OptionsHandle(spec);
  EXPECT_EQ(host.HandleName(options), "Zarn_Importer optionsH");
  EXPECT_EQ(host.HandleBytes(options).size(), sizeof(FootageOptions));
  EXPECT_EQ(host.LockCount(options), 0);

  std::vector<Op> expected = {Op::NewMemHandle, Op::LockMemHandle, Op::SetInSpecOptionsHandle};
  for (Op op : ExpectedSetters(true, true)) expected.push_back(op);
  expected.push_back(Op::UnlockMemHandle);
  EXPECT_EQ(HostOps(), expected);
  // Made under the id the host gave at registration, zero-filled on request.
  const standin::Call& made = FirstCall(Op::NewMemHandle);
  EXPECT_NE(made.text.find("Zarn_Importer optionsH"), std::string::npos) << made.text;
  EXPECT_NE(made.text.find(std::to_string(sizeof(FootageOptions))), std::string::npos);

  host.ClearCalls();
  EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_EQ(HostOps(), (std::vector<Op>{Op::GetInSpecOptionsHandle, Op::LockMemHandle,
                                        Op::UnlockMemHandle, Op::FreeMemHandle}));
  EXPECT_TRUE(HostClean());
}

TEST_F(FootageSession, FilesThatDoNotOpenLeaveNothingAttachedAndNothingTold) {
  for (const char* clip : {"not_media.mkv", "header_cut.mkv", "no_such_file.mkv"}) {
    SCOPED_TRACE(clip);
    A_Err result = -1;
    AEIO_InSpecH spec = host.Import(MediaPath(clip), &result);
    EXPECT_EQ(result, A_Err_STRUCT);
    EXPECT_EQ(host.OptionsHandle(spec), nullptr);
    EXPECT_TRUE(host.TellsFor(spec).order.empty());
    EXPECT_TRUE(HostClean());
    EXPECT_EQ(host.Dispose(spec), A_Err_NONE);  // no options: nothing to do
  }
}

// Fixed, except that the first names the sound track in use where the file
// offers more than one.
TEST_F(FootageSession, InformationLinesAreFixedForEveryItem) {
  A_Err result = -1;
  AEIO_InSpecH opened = host.Import(MediaPath("silent.mkv"), &result);
  ASSERT_EQ(result, A_Err_NONE);
  AEIO_InSpecH failed = host.Import(MediaPath("not_media.mkv"), &result);
  ASSERT_EQ(result, A_Err_STRUCT);
  AEIO_InSpecH tracks = host.Import(MediaPath("three_sound_tracks.mkv"), &result);
  ASSERT_EQ(result, A_Err_NONE);
  for (AEIO_InSpecH spec : {opened, failed, tracks}) {
    AEIO_Verbiage verbiage;
    std::memset(&verbiage, 0x5A, sizeof verbiage);
    EXPECT_EQ(host.GetInfo(spec, &verbiage), A_Err_NONE);
    EXPECT_STREQ(verbiage.name, spec == tracks ? "Sound 1: Mix" : "");
    EXPECT_STREQ(verbiage.type, "Zarn_Importer");
    EXPECT_STREQ(verbiage.sub_type, "Imported by Zarn_Importer(ver1.0.7.Varnetholm)");
  }
  EXPECT_EQ(host.CountOf(Op::AnsiStrcpy) - strcpy_calls_at_start, 9);
  EXPECT_EQ(host.Dispose(opened), A_Err_NONE);
  EXPECT_EQ(host.Dispose(tracks), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

// ---------------------------------------------------------------- frame rate

struct RateCase {
  int32_t num;
  uint32_t den;
  std::optional<A_Fixed> fixed;
};

TEST(NativeFrameRate, IsComputedInSinglePrecisionAndNeverTellsAnUnusableRate) {
  const RateCase cases[] = {
      {25, 1, 1638400},
      {30000, 1001, 1964116},
      {24000, 1001, 1571293},
      {1000, 1, 65536000},
      // 193/3 in single precision is 64.33333587646484375; times 65536 that
      // is 4216149.5, which rounds up. Double precision would give 4216149.
      {193, 3, 4216150},
      {0, 0, std::nullopt},
      {25, 0, std::nullopt},
      {0, 1, std::nullopt},
      {-25, 1, std::nullopt},
  };
  for (const RateCase& c : cases) {
    EXPECT_EQ(NativeFrameRate({c.num, c.den}), c.fixed) << c.num << "/" << c.den;
  }
}

TEST(PictureFacts, PixelAspectIsReducedAndOnlyPlausibleRatiosAreTold) {
  const std::pair<AVRational, A_Ratio> cases[] = {
      {{64, 54}, {32, 27}}, {{1, 4}, {1, 4}},  {{4, 1}, {4, 1}}, {{0, 1}, {1, 1}}, {{0, 0}, {1, 1}},
      {{1, 0}, {1, 1}},     {{-4, 3}, {1, 1}}, {{1, 5}, {1, 1}}, {{9, 2}, {1, 1}}};
  for (const auto& [sample_aspect, want] : cases) {
    const A_Ratio told = PixelAspectFrom(sample_aspect);
    EXPECT_TRUE(told.num == want.num && told.den == want.den)
        << sample_aspect.num << "/" << sample_aspect.den << " told " << told.num << "/" << told.den;
  }
}

// ---------------------------------------------------------------- failures

constexpr A_Err kHostErr = Fault::kErr;

struct ImportFault {
  const char* name;
  Fault fault;
  A_Err result;
  bool attached;  // the record stays with the in-spec
};

std::vector<ImportFault> ImportFaults() {
  std::vector<ImportFault> rows = {
      {"NewMemHandle", Fault::Fail(Op::NewMemHandle), kHostErr, false},
      {"LockMemHandle", Fault::Fail(Op::LockMemHandle), kHostErr, false},
      {"SetInSpecOptionsHandle", Fault::Fail(Op::SetInSpecOptionsHandle), kHostErr, false},
      {"UnlockMemHandle", Fault::Fail(Op::UnlockMemHandle), kHostErr, true},
      {"NullHandle", Fault::NullHandle(1), A_Err_ALLOC, false},
      {"NullLock", Fault::NullLock(1), A_Err_ALLOC, false},
      {"MemorySuiteMissing", Fault::Missing(kAEGPMemorySuite, 1), 516, false},
      // The IO In suite is first needed after the record is made and opened.
      {"IOInSuiteMissing", Fault::Missing(kAEGPIOInSuite, 5), 516, false},
      {"IOInSuiteNull", Fault::NullTable(kAEGPIOInSuite, 5), 516, false},
      {"NoBasicSuite", Fault::NoBasicSuite(), 516, false},
  };
  for (Op op : ExpectedSetters(true, true)) {
    rows.push_back({standin::OpName(op), Fault::Fail(op), kHostErr, true});
  }
  return rows;
}

class ImportFailure : public FootageSession, public ::testing::WithParamInterface<ImportFault> {};

TEST_P(ImportFailure, ReturnsTheErrorAndLeavesNoLeakOrLock) {
  const ImportFault& row = GetParam();
  AEIO_InSpecH spec = host.NewInSpec();
  const A_Err result = ImportWithFault(spec, MediaPath("h264_aac.mkv"), row.fault);
  EXPECT_EQ(result, row.result);
  EXPECT_EQ(OutstandingSuites(), 0);
  EXPECT_TRUE(host.problems().empty()) << host.problems().front();

  AEGP_MemHandle options = host.OptionsHandle(spec);
  EXPECT_EQ(options != nullptr, row.attached);
  if (!row.attached) {
    EXPECT_TRUE(host.LiveHandleNames().empty());
    EXPECT_EQ(host.LockedHandleCount(), 0u);
    return;
  }
  // Setters stop at the first failure: only those before it were told.
  std::vector<Op> told = host.TellsFor(spec).order;
  if (row.fault.op != Op::UnlockMemHandle) {
    std::vector<Op> before = ExpectedSetters(true, true);
    before.resize(std::find(before.begin(), before.end(), row.fault.op) - before.begin());
    EXPECT_EQ(told, before);
    EXPECT_EQ(host.LockCount(options), 0);
  } else {
    EXPECT_EQ(host.LockCount(options), 1);  // the host refused the unlock
    UnlockAsHost(options);
  }
  EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

INSTANTIATE_TEST_SUITE_P(EachHostStep, ImportFailure, ::testing::ValuesIn(ImportFaults()),
                         [](const auto& info) { return std::string(info.param.name); });

struct DisposeFault {
  const char* name;
  Fault fault;
  A_Err result;
  int locks_left;  // the host refused an unlock
};

const DisposeFault kDisposeFaults[] = {
    {"GetInSpecOptionsHandle", Fault::Fail(Op::GetInSpecOptionsHandle), kHostErr, 0},
    {"LockMemHandle", Fault::Fail(Op::LockMemHandle), kHostErr, 0},
    {"UnlockMemHandle", Fault::Fail(Op::UnlockMemHandle), kHostErr, 1},
    {"FreeMemHandle", Fault::Fail(Op::FreeMemHandle), kHostErr, 0},
    {"NullLock", Fault::NullLock(1), A_Err_ALLOC, 0},
    {"MemorySuiteMissing", Fault::Missing(kAEGPMemorySuite, 1), 516, 0},
    {"IOInSuiteMissing", Fault::Missing(kAEGPIOInSuite, 5), 516, 0},
    {"NoBasicSuite", Fault::NoBasicSuite(), 516, 0},
};

class DisposeFailure : public FootageSession, public ::testing::WithParamInterface<DisposeFault> {};

TEST_P(DisposeFailure, KeepsTheHandleAndCanBeDisposedAgain) {
  const DisposeFault& row = GetParam();
  A_Err result = -1;
  AEIO_InSpecH spec = host.Import(MediaPath("h264_aac.mkv"), &result);
  ASSERT_EQ(result, A_Err_NONE);
  AEGP_MemHandle options = host.OptionsHandle(spec);

  EXPECT_EQ(DisposeWithFault(spec, row.fault), row.result);
  EXPECT_EQ(OutstandingSuites(), 0);
  EXPECT_TRUE(host.problems().empty()) << host.problems().front();
  ASSERT_TRUE(host.IsLive(options));
  EXPECT_EQ(host.LockCount(options), row.locks_left);
  if (row.locks_left > 0) UnlockAsHost(options);

  // The record is either untouched or already emptied: a second dispose
  // finishes the job without a double free.
  EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_TRUE(HostClean());
}

INSTANTIATE_TEST_SUITE_P(EachHostStep, DisposeFailure, ::testing::ValuesIn(kDisposeFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// Dispose frees only what the module made: an item pointer it does not know
// (a damaged record, another module's) is left alone, and the handle freed.
TEST_F(FootageSession, DisposeLeavesAnItemItNeverMadeAlone) {
  FootageItem foreign;
  FootageOptions record{};
  record.item = &foreign;
  record.path = av_strdup("no_such_clip.mkv");
  std::vector<uint8_t> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  AEIO_InSpecH spec = host.NewInSpec();
  AEGP_MemHandle options = host.NewHandle("Zarn_Importer optionsH", bytes);
  host.SetOptionsHandle(spec, options);

  EXPECT_EQ(host.Dispose(spec), A_Err_NONE);
  EXPECT_FALSE(host.IsLive(options));
  EXPECT_TRUE(HostClean());
}

TEST_F(FootageSession, RepeatedImportAndDisposeLeakNothing) {
  const int cycles = CycleCount(300);
  for (int i = 0; i < cycles; ++i) {
    A_Err result = -1;
    AEIO_InSpecH spec = host.Import(MediaPath(i % 2 ? "h264_aac.mkv" : "ac3_51.mkv"), &result);
    ASSERT_EQ(result, A_Err_NONE) << "cycle " << i;
    ASSERT_EQ(host.Dispose(spec), A_Err_NONE) << "cycle " << i;
    host.DeleteInSpec(spec);
    host.ClearCalls();
  }
  EXPECT_TRUE(HostClean());
}

}  // namespace
