// ConvertFrameToWorld on its own: every destination size and row length,
// straight into the buffer or through the scratch, writes exactly the
// visible pixels, and they are what a plain conversion gives.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "footage/av_owners.h"
#include "footage/footage_item.h"
#include "host/standin_host.h"
#include "video/convert_frame.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace {

// A picture with a different value in every sample, so any misplaced row
// or column shows.
FramePtr MakePicture(int width, int height, AVPixelFormat format) {
  FramePtr frame(av_frame_alloc());
  frame->width = width;
  frame->height = height;
  frame->format = format;
  EXPECT_GE(av_frame_get_buffer(frame.get(), 0), 0);
  for (int p = 0; p < 4 && frame->data[p] != nullptr; ++p) {
    const int rows = p == 0 ? height : AV_CEIL_RSHIFT(height, 1);
    for (int y = 0; y < rows && y < height; ++y) {
      for (int x = 0; x < frame->linesize[p]; ++x) {
        frame->data[p][y * frame->linesize[p] + x] = static_cast<uint8_t>(x * 7 + y * 13 + p * 50);
      }
    }
  }
  return frame;
}

std::vector<uint8_t> Plain(const AVFrame& f, int width, int height) {
  SwsPtr sws(sws_getContext(f.width, f.height, static_cast<AVPixelFormat>(f.format), width, height,
                            AV_PIX_FMT_ARGB, SWS_POINT, nullptr, nullptr, nullptr));
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(sws.get(), bt601, 0, bt601, 1, 0, 1 << 16, 1 << 16);
  const int stride = FFALIGN(width * 4, 64);
  std::vector<uint8_t> padded(static_cast<size_t>(stride) * height + 64);
  uint8_t* planes[4] = {padded.data()};
  int strides[4] = {stride};
  sws_scale(sws.get(), f.data, f.linesize, 0, f.height, planes, strides);
  std::vector<uint8_t> out;
  for (int y = 0; y < height; ++y) {
    out.insert(out.end(), padded.begin() + y * stride, padded.begin() + y * stride + width * 4);
  }
  return out;
}

TEST(VideoConvert, EverySizeWritesOnlyItsPixels) {
  for (const auto& [src_w, src_h] : {std::pair{320, 240}, std::pair{33, 17}}) {
    const FramePtr picture = MakePicture(src_w, src_h, AV_PIX_FMT_YUV420P);
    VideoReader video;
    std::vector<int> widths;
    for (int w = 1; w <= 40; ++w) widths.push_back(w);
    for (int w : {48, 64, 320, 333, 640}) widths.push_back(w);
    for (const int width : widths) {
      for (const int height : {1, 2, 7, 240}) {
        for (const int extra : {0, 4, 64}) {
          SCOPED_TRACE(std::to_string(src_w) + "x" + std::to_string(src_h) + " -> " +
                       std::to_string(width) + "x" + std::to_string(height) + " +" +
                       std::to_string(extra));
          standin::World world(width, height, width * 4 + extra);
          ASSERT_TRUE(ConvertFrameToWorld(video, *picture, *world.get()));
          ASSERT_TRUE(world.GuardsIntact());
          ASSERT_EQ(world.Pixels(), Plain(*picture, width, height));
        }
      }
    }
  }
}

TEST(VideoConvert, UnusablePicturesAndBuffersAreRefused) {
  VideoReader video;
  const FramePtr good = MakePicture(64, 48, AV_PIX_FMT_YUV420P);
  FramePtr empty(av_frame_alloc());  // no planes, no size
  FramePtr no_size = MakePicture(64, 48, AV_PIX_FMT_YUV420P);
  no_size->height = 0;
  standin::World world(64, 48);
  EXPECT_FALSE(ConvertFrameToWorld(video, *empty, *world.get()));
  EXPECT_FALSE(ConvertFrameToWorld(video, *no_size, *world.get()));
  EXPECT_TRUE(world.Untouched());
  // Rows that overlap cannot be served.
  PF_EffectWorld overlapping = *world.get();
  overlapping.rowbytes = 64 * 4 - 4;
  EXPECT_FALSE(ConvertFrameToWorld(video, *good, overlapping));
  EXPECT_TRUE(world.Untouched());
  // Zero width or height: nothing to write, nothing written.
  for (const auto& [w, h] : {std::pair{0, 48}, std::pair{64, 0}}) {
    standin::World empty_world(w, h, 256);
    EXPECT_TRUE(ConvertFrameToWorld(video, *good, *empty_world.get()));
    EXPECT_TRUE(empty_world.GuardsIntact());
  }
}

TEST(VideoConvert, RgbPicturesAndAChangingSource) {
  VideoReader video;
  standin::World world(50, 30);
  // The kept scaler follows the source from request to request.
  for (const auto& [w, h, format] :
       {std::tuple{64, 48, AV_PIX_FMT_RGB24}, std::tuple{64, 48, AV_PIX_FMT_YUV420P},
        std::tuple{80, 60, AV_PIX_FMT_YUV420P}}) {
    const FramePtr picture = MakePicture(w, h, format);
    ASSERT_TRUE(ConvertFrameToWorld(video, *picture, *world.get()));
    EXPECT_TRUE(world.GuardsIntact());
    EXPECT_EQ(world.Pixels(), Plain(*picture, 50, 30));
  }
}

}  // namespace
