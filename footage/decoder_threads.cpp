#include "footage/decoder_threads.h"

#include <algorithm>

int ThreadShare(int cores, int playing) {
  if (playing <= 1 || cores <= 1) return 0;
  return std::max(1, cores / playing);
}

DecoderThreads& DecoderThreads::Module() {
  static DecoderThreads threads;
  return threads;
}

void DecoderThreads::NotePlaying(uint64_t item, Clock::time_point now) {
  const std::lock_guard<std::mutex> hold(lock_);
  last_asked_[item] = now;
}

void DecoderThreads::Forget(uint64_t item) {
  const std::lock_guard<std::mutex> hold(lock_);
  last_asked_.erase(item);
}

int DecoderThreads::Playing(uint64_t item, Clock::time_point now) {
  const std::lock_guard<std::mutex> hold(lock_);
  last_asked_[item] = now;
  // Items long quiet are dropped here, so the map holds only those playing.
  (void)std::erase_if(last_asked_,
                      [now](const auto& entry) { return now - entry.second > kPlayingWindow; });
  return static_cast<int>(last_asked_.size());
}
