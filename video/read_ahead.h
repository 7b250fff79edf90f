// Decoding ahead of playback. While frame requests come in playing order, a
// worker of the item's own decodes the next pictures into the picture cache,
// a few frames deep, whenever the item is free: the host's next request then
// costs a conversion. The worker never blocks on the item's lock (it tries
// it again every millisecond while a call holds it), gives it back between
// pictures as soon as a call waits for it, and is stopped and joined when
// the item's picture reader closes. It never changes an answer: it decodes exactly as a request
// for the next frame would, and answers still come by the same rules.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "footage/footage_item.h"

// Frames decoded ahead (ZARN_READ_AHEAD); 0 turns decoding ahead off.
inline constexpr int kDefaultReadAhead = 4;
void SetReadAheadDepth(int frames);
int ReadAheadDepth();

class ReadAhead {
 public:
  // `step` runs on the worker under the item's lock: it decodes one picture
  // more and returns false when there is nothing more to do.
  ReadAhead(FootageItem& item, std::function<bool()> step);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // There is work: wakes the worker (started on first use).
  void Arm();

 private:
  void Run();

  FootageItem& item_;
  std::function<bool()> step_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool armed_ = false;             // under mutex_
  std::atomic<bool> stop_{false};  // read between pictures
  std::thread thread_;
};
