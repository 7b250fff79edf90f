// ConvertFrameToWorld on its own: for every kind of source (YUV, packed and
// planar RGB, with and without alpha, 8 bits and more), every destination
// size and row length, 8-bit and deep worlds, straight into the buffer or
// through the scratch, it writes exactly the visible pixels, and they are
// what the reference conversion gives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "footage/av_owners.h"
#include "host/standin_host.h"
#include "tests/support/reference_video.h"
#include "video/convert_frame.h"
#include "video/deep_levels.h"
#include "video/picture_converter.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace {

using standin::Depth;
using zarn_test::ReferenceColour;
using zarn_test::ReferenceConverter;
using zarn_test::ReferenceDepth;

// A picture with a different value in every sample of every component
// (within the component's depth), so any misplaced row, column or channel
// shows.
FramePtr MakePicture(int width, int height, AVPixelFormat format) {
  FramePtr frame(av_frame_alloc());
  frame->width = width;
  frame->height = height;
  frame->format = format;
  EXPECT_GE(av_frame_get_buffer(frame.get(), 0), 0);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
  const bool rgb = (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0;
  for (int c = 0; c < desc->nb_components; ++c) {
    const AVComponentDescriptor& comp = desc->comp[c];
    const bool chroma = !rgb && (c == 1 || c == 2);
    const int w = chroma ? AV_CEIL_RSHIFT(width, desc->log2_chroma_w) : width;
    const int h = chroma ? AV_CEIL_RSHIFT(height, desc->log2_chroma_h) : height;
    for (int y = 0; y < h; ++y) {
      uint8_t* row = frame->data[comp.plane] + y * frame->linesize[comp.plane];
      for (int x = 0; x < w; ++x) {
        const uint32_t value = ((x * 7 + y * 13 + c * 50) % (1 << comp.depth)) << comp.shift;
        uint8_t* at = row + x * comp.step + comp.offset;
        if (comp.depth + comp.shift > 8) {
          const uint16_t wide = static_cast<uint16_t>(value);
          std::memcpy(at, &wide, 2);  // the little-endian formats below
        } else {
          *at = static_cast<uint8_t>(value);
        }
      }
    }
  }
  return frame;
}

std::vector<uint8_t> Expected(const AVFrame& picture, int width, int height, Depth depth) {
  ReferenceConverter converter;
  std::vector<uint8_t> out;
  EXPECT_TRUE(converter.Convert(
      picture, width, height, ReferenceColour::kPictureRule,
      depth == Depth::k16Bit ? ReferenceDepth::k16Bit : ReferenceDepth::k8Bit, &out));
  return out;
}

std::string Name(Depth depth) { return depth == Depth::k16Bit ? "deep" : "8-bit"; }

// Every kind of source the conversion takes its own way: swscale's writers
// differ between them, and so does the deep mapping.
const AVPixelFormat kSources[] = {
    AV_PIX_FMT_YUV420P,      AV_PIX_FMT_RGB24,     AV_PIX_FMT_BGRA,
    AV_PIX_FMT_GBRP,         AV_PIX_FMT_YUVA420P,  AV_PIX_FMT_YUV422P10LE,
    AV_PIX_FMT_YUVA444P12LE, AV_PIX_FMT_GBRAP12LE, AV_PIX_FMT_RGBA64LE,
};

class SizeSweep : public ::testing::TestWithParam<AVPixelFormat> {};

TEST_P(SizeSweep, EverySizeWritesOnlyItsPixels) {
  // Widths around swscale's 16-pixel blocks, 4 x 9 and 324 (multiples of 4
  // but not of 16), odd ones, and the source's own.
  std::vector<int> widths;
  for (int w = 1; w <= 20; ++w) widths.push_back(w);
  for (int w : {31, 32, 33, 36, 48, 64, 320, 324, 333, 640}) widths.push_back(w);
  for (const auto& [src_w, src_h] : {std::pair{324, 240}, std::pair{33, 17}}) {
    const FramePtr picture = MakePicture(src_w, src_h, GetParam());
    PictureConverter converter;  // one scaler and scratch through every size, as an item keeps them
    for (const Depth depth : {Depth::k8Bit, Depth::k16Bit}) {
      const int pixel_bytes = depth == Depth::k16Bit ? 8 : 4;
      for (const int width : widths) {
        for (const int height : {1, 7, 240}) {
          for (const int extra : {0, 4, 64}) {
            SCOPED_TRACE(Name(depth) + " " + std::to_string(src_w) + "x" + std::to_string(src_h) +
                         " -> " + std::to_string(width) + "x" + std::to_string(height) + " +" +
                         std::to_string(extra));
            standin::World world(width, height, width * pixel_bytes + extra, depth);
            ASSERT_TRUE(ConvertFrameToWorld(converter, *picture, *world.get()));
            ASSERT_TRUE(world.GuardsIntact());
            ASSERT_EQ(world.Pixels(), Expected(*picture, width, height, depth));
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, SizeSweep, ::testing::ValuesIn(kSources), [](const auto& info) {
  return std::string(av_get_pix_fmt_name(info.param));
});

// Large pictures are converted on several threads (swscale splits the rows):
// every byte is still the one-thread reference's, in both depths, straight
// into the buffer and through the scratch.
TEST(VideoConvert, LargePicturesOnSeveralThreadsAreByteIdentical) {
  // One of each way through: YUV, packed RGB (through the scratch), planar
  // RGB, and more than 8 bits.
  for (const AVPixelFormat format :
       {AV_PIX_FMT_YUV420P, AV_PIX_FMT_RGB24, AV_PIX_FMT_GBRP, AV_PIX_FMT_YUV422P10LE}) {
    const FramePtr picture = MakePicture(1920, 1080, format);
    PictureConverter converter;
    for (const Depth depth : {Depth::k8Bit, Depth::k16Bit}) {
      for (const auto& [width, height] : {std::pair{1920, 1080}, std::pair{1282, 721}}) {
        SCOPED_TRACE(std::string(av_get_pix_fmt_name(format)) + " " + Name(depth) + " " +
                     std::to_string(width) + "x" + std::to_string(height));
        const int pixel_bytes = depth == Depth::k16Bit ? 8 : 4;
        standin::World world(width, height, width * pixel_bytes, depth);
        ASSERT_TRUE(ConvertFrameToWorld(converter, *picture, *world.get()));
        EXPECT_GT(converter.scaler_key.threads, av_cpu_count() > 1 ? 1 : 0);
        ASSERT_TRUE(world.GuardsIntact());
        ASSERT_EQ(world.Pixels(), Expected(*picture, width, height, depth));
      }
    }
  }
}

// swscale refuses some shapes outright (3 x 65535 to 1 x 1): the picture is
// converted at its own size and the pixel nearest the centre taken, in both
// depths and from each kind of source.
TEST(VideoConvert, ShapesSwscaleRefusesGetTheNearestPixel) {
  constexpr int kWidth = 3, kHeight = 65535;
  for (const AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_RGB24, AV_PIX_FMT_GBRP,
                                     AV_PIX_FMT_YUV422P10LE, AV_PIX_FMT_RGBA64LE}) {
    const FramePtr picture = MakePicture(kWidth, kHeight, format);
    const SwsPtr refused(sws_getContext(kWidth, kHeight, format, 1, 1, AV_PIX_FMT_ARGB, SWS_POINT,
                                        nullptr, nullptr, nullptr));
    ASSERT_EQ(refused, nullptr) << "swscale now takes this shape: the test needs another";
    for (const Depth depth : {Depth::k8Bit, Depth::k16Bit}) {
      SCOPED_TRACE(std::string(av_get_pix_fmt_name(format)) + " " + Name(depth));
      const size_t pixel_bytes = depth == Depth::k16Bit ? 8 : 4;
      const std::vector<uint8_t> whole = Expected(*picture, kWidth, kHeight, depth);
      const size_t centre = (size_t{kHeight / 2} * kWidth + kWidth / 2) * pixel_bytes;
      PictureConverter converter;
      standin::World world(1, 1, 0, depth);
      ASSERT_TRUE(ConvertFrameToWorld(converter, *picture, *world.get()));
      EXPECT_TRUE(world.GuardsIntact());
      EXPECT_EQ(world.Pixels(),
                std::vector<uint8_t>(whole.begin() + static_cast<ptrdiff_t>(centre),
                                     whole.begin() + static_cast<ptrdiff_t>(centre + pixel_bytes)));
    }
  }
}

TEST(VideoConvert, UnusablePicturesAndBuffersAreRefused) {
  PictureConverter converter;
  const FramePtr good = MakePicture(64, 48, AV_PIX_FMT_YUV420P);
  FramePtr empty(av_frame_alloc());  // no planes, no size
  FramePtr no_size = MakePicture(64, 48, AV_PIX_FMT_YUV420P);
  no_size->height = 0;
  for (const Depth depth : {Depth::k8Bit, Depth::k16Bit}) {
    SCOPED_TRACE(Name(depth));
    const int pixel_bytes = depth == Depth::k16Bit ? 8 : 4;
    standin::World world(64, 48, 0, depth);
    EXPECT_FALSE(ConvertFrameToWorld(converter, *empty, *world.get()));
    EXPECT_FALSE(ConvertFrameToWorld(converter, *no_size, *world.get()));
    EXPECT_TRUE(world.Untouched());
    // Rows that overlap cannot be served: a deep row needs 8 bytes a pixel.
    PF_EffectWorld overlapping = *world.get();
    overlapping.rowbytes = 64 * pixel_bytes - 4;
    EXPECT_FALSE(ConvertFrameToWorld(converter, *good, overlapping));
    EXPECT_TRUE(world.Untouched());
    // Zero width or height: nothing to write, nothing written.
    for (const auto& [w, h] : {std::pair{0, 48}, std::pair{64, 0}}) {
      standin::World empty_world(w, h, 1024, depth);
      EXPECT_TRUE(ConvertFrameToWorld(converter, *good, *empty_world.get()));
      EXPECT_TRUE(empty_world.GuardsIntact());
    }
  }
}

TEST(VideoConvert, TheKeptScalerFollowsSourceAndWorld) {
  PictureConverter converter;
  // Source format, size and world depth change from request to request.
  for (const auto& [w, h, format, depth] :
       {std::tuple{64, 48, AV_PIX_FMT_RGB24, Depth::k8Bit},
        std::tuple{64, 48, AV_PIX_FMT_YUV420P, Depth::k8Bit},
        std::tuple{64, 48, AV_PIX_FMT_YUV420P, Depth::k16Bit},
        std::tuple{80, 60, AV_PIX_FMT_YUV420P10LE, Depth::k16Bit},
        std::tuple{80, 60, AV_PIX_FMT_YUV420P10LE, Depth::k8Bit},
        std::tuple{80, 60, AV_PIX_FMT_YUV420P, Depth::k16Bit}}) {
    SCOPED_TRACE(std::string(av_get_pix_fmt_name(format)) + " " + Name(depth));
    const FramePtr picture = MakePicture(w, h, format);
    standin::World world(50, 30, 0, depth);
    ASSERT_TRUE(ConvertFrameToWorld(converter, *picture, *world.get()));
    EXPECT_TRUE(world.GuardsIntact());
    EXPECT_EQ(world.Pixels(), Expected(*picture, 50, 30, depth));
  }
}

// The deep mapping works without dividing: exact for every 16-bit value at
// every full scale swscale gives, in the vector steps and at a row's end.
TEST(DeepLevels, EveryValueAtEveryFullScaleRoundsToNearest) {
  std::vector<uint16_t> values(65536 + 3), out(values.size() * 4);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(i);
  const uint16_t* planes[4] = {values.data(), values.data(), values.data(), values.data()};
  for (int m = 8; m <= 16; ++m) {
    const uint32_t full = ((1u << m) - 1) << (16 - m);
    HostRowFromPlanes16(planes, static_cast<int>(values.size()), DeepScales{true, true, m, m},
                        out.data());
    for (size_t i = 0; i < out.size(); ++i) {
      const uint32_t v = values[i / 4];
      ASSERT_EQ(out[i], std::min<uint32_t>(32768, (v * 32768 + full / 2) / full)) << m << " " << v;
    }
  }
}

}  // namespace
