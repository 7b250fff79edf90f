// The picture cache's own rules, without a file: what it answers (only a
// picture whose predecessor proves nothing lies between), what it keeps
// within its bounds, and who goes first when it is full; and the share of
// the cores that the items filling it decode with.
#include <gtest/gtest.h>

#include <cstdint>

#include "footage/decoder_threads.h"
#include "footage/picture_cache.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace {

// A decoded-looking picture of about `bytes` (one plane), its first byte
// marking which one it is.
FramePtr Picture(uint8_t mark, int bytes = 64 * 1024) {
  FramePtr frame(av_frame_alloc());
  frame->format = AV_PIX_FMT_GRAY8;
  frame->width = bytes / 64;
  frame->height = 64;
  EXPECT_EQ(av_frame_get_buffer(frame.get(), 1), 0);
  frame->data[0][0] = mark;
  return frame;
}

uint8_t Mark(const FramePtr& found) { return found ? found->data[0][0] : 0; }

class Cache : public ::testing::Test {
 protected:
  void SetUp() override {
    cache_.SetBounds(PictureCache::kDefaultModuleBytes, PictureCache::kDefaultItemBytes);
  }
  PictureCache cache_;
  const size_t one_ = PictureCache::PictureBytes(*Picture(0));
};

TEST_F(Cache, AnswersOnlyWhatASequentialDecodeShows) {
  // Pictures at 40 and 80 follow 0; the one at 160 follows an unknown one.
  cache_.Put(1, *Picture(1), 0, INT64_MIN);
  cache_.Put(1, *Picture(2), 40, 0);
  cache_.Put(1, *Picture(3), 80, 40);
  cache_.Put(1, *Picture(9), 160, 120);
  struct Case {
    int64_t low;
    uint8_t mark;  // 0: the cache cannot tell
  } const cases[] = {
      {-1000, 1}, {0, 1},   {1, 2},   {40, 2},
      {41, 3},    {80, 3},  {81, 0},             // what lies between 80 and 120 is not known
      {120, 0},   {121, 9}, {160, 9}, {161, 0},  // nothing known after the last
  };
  for (const Case& c : cases) {
    int64_t ts = -1;
    EXPECT_EQ(Mark(cache_.Find(1, c.low, &ts)), c.mark) << "from " << c.low;
  }
  EXPECT_EQ(cache_.Find(2, 40), nullptr) << "another item's pictures";
  // A picture whose predecessor is unknown, or not before it, is not kept.
  cache_.Put(1, *Picture(7), 200, 200);
  EXPECT_EQ(cache_.Pictures(), 4u);
}

TEST_F(Cache, StaysWithinItsBoundsLeastRecentlyUsedFirst) {
  cache_.SetBounds(10 * one_, 4 * one_);
  for (int i = 0; i < 6; ++i)
    cache_.Put(1, *Picture(static_cast<uint8_t>(10 + i)), 40 * i, 40 * i - 40);
  EXPECT_EQ(cache_.Bytes(1), 4 * one_) << "the item's own bound";
  EXPECT_EQ(Mark(cache_.Find(1, 1)), 0) << "the oldest went first";
  EXPECT_EQ(Mark(cache_.Find(1, 81)), 13);
  // A second item fills the module: the least recently used of either goes.
  for (int i = 0; i < 4; ++i)
    cache_.Put(2, *Picture(static_cast<uint8_t>(20 + i)), 40 * i, 40 * i - 40);
  ASSERT_EQ(cache_.Bytes(), 8 * one_);
  (void)cache_.Find(1, 81);  // item 1's 120 is used again
  for (int i = 4; i < 7; ++i)
    cache_.Put(2, *Picture(static_cast<uint8_t>(20 + i)), 40 * i, 40 * i - 40);
  EXPECT_LE(cache_.Bytes(), 10 * one_);
  EXPECT_LE(cache_.Bytes(2), 4 * one_);
  EXPECT_EQ(Mark(cache_.Find(1, 81)), 13) << "recently used, kept";
  EXPECT_EQ(cache_.Bytes(), cache_.Bytes(1) + cache_.Bytes(2));

  // Smaller bounds evict at once; 0 turns the cache off.
  cache_.SetBounds(3 * one_, 4 * one_);
  EXPECT_LE(cache_.Bytes(), 3 * one_);
  cache_.SetBounds(0, 0);
  EXPECT_EQ(cache_.Bytes(), 0u);
  EXPECT_FALSE(cache_.enabled());
  cache_.Put(1, *Picture(1), 0, INT64_MIN);
  EXPECT_EQ(cache_.Pictures(), 0u);
}

// Pictures decoded ahead stay until asked for or passed by, however full
// the cache; a quarter of the module's bound and half an item's may be held.
TEST_F(Cache, PicturesDecodedAheadStayUntilAskedFor) {
  cache_.SetBounds(8 * one_, 8 * one_);
  EXPECT_TRUE(cache_.RoomAhead(1, 2 * one_));
  EXPECT_FALSE(cache_.RoomAhead(1, 2 * one_ + 1));
  cache_.Put(1, *Picture(1), 0, INT64_MIN, /*ahead=*/true);
  cache_.Put(1, *Picture(2), 40, 0, /*ahead=*/true);
  EXPECT_FALSE(cache_.RoomAhead(2, 1)) << "the module's quarter is taken";
  for (int i = 0; i < 10; ++i)
    cache_.Put(2, *Picture(static_cast<uint8_t>(20 + i)), 40 * i, 40 * i - 40);
  EXPECT_LE(cache_.Bytes(), 8 * one_);
  EXPECT_EQ(Mark(cache_.Find(1, 1)), 2) << "held through item 2's pictures";
  // Asked for at 40, so 0 was passed by: both ordinary again, room ahead.
  EXPECT_TRUE(cache_.RoomAhead(2, 2 * one_));
  for (int i = 10; i < 20; ++i)
    cache_.Put(2, *Picture(static_cast<uint8_t>(20 + i)), 40 * i, 40 * i - 40);
  EXPECT_EQ(cache_.Find(1, 0), nullptr) << "then evicted like any other";

  // Held pictures the item stops playing toward are let go.
  cache_.Put(3, *Picture(7), 0, INT64_MIN, /*ahead=*/true);
  cache_.EndAhead(3);
  EXPECT_TRUE(cache_.RoomAhead(2, 2 * one_));
  for (int i = 20; i < 30; ++i)
    cache_.Put(2, *Picture(static_cast<uint8_t>(20 + i)), 40 * i, 40 * i - 40);
  EXPECT_EQ(cache_.Bytes(3), 0u);
  cache_.Put(3, *Picture(8), 0, INT64_MIN, /*ahead=*/true);
  cache_.Forget(3);
  EXPECT_TRUE(cache_.RoomAhead(3, 2 * one_)) << "forgetting the item counts its held ones out";
}

TEST_F(Cache, AReferenceOutlivesEvictionAndForget) {
  cache_.Put(3, *Picture(42), 0, INT64_MIN);
  FramePtr held = cache_.Find(3, 0);
  cache_.Forget(3);
  EXPECT_EQ(cache_.Bytes(), 0u);
  EXPECT_EQ(cache_.Find(3, 0), nullptr);
  EXPECT_EQ(Mark(held), 42);  // still readable: the sanitizer tree would catch a use after free
  // A picture larger than an item's bound is not kept at all.
  cache_.SetBounds(10 * one_, one_ / 2);
  cache_.Put(3, *Picture(1), 0, INT64_MIN);
  EXPECT_EQ(cache_.Pictures(), 0u);
}

// An item alone decodes on automatic threads; items playing together split
// the cores, a thread each at least; an item quiet for longer than the
// window no longer counts as playing, nor one that closed its decoder.
TEST(DecoderThreadShare, SplitsTheCoresAmongItemsPlaying) {
  const struct {
    int cores, playing, threads;
  } shares[] = {{2, 1, 0}, {2, 2, 1}, {2, 24, 1}, {8, 2, 4}, {16, 3, 5}, {1, 4, 0}, {4, 0, 0}};
  for (const auto& c : shares) EXPECT_EQ(ThreadShare(c.cores, c.playing), c.threads) << c.cores << " " << c.playing;

  DecoderThreads threads;
  const auto t0 = DecoderThreads::Clock::time_point{};
  threads.NotePlaying(1, t0);
  EXPECT_EQ(threads.Playing(2, t0 + std::chrono::seconds(1)), 2);
  EXPECT_EQ(threads.Playing(2, t0 + DecoderThreads::kPlayingWindow + std::chrono::seconds(1)), 1);
  threads.NotePlaying(1, t0 + std::chrono::seconds(5));
  threads.Forget(1);
  EXPECT_EQ(threads.Playing(2, t0 + std::chrono::seconds(5)), 1);
}

}  // namespace
