#include "video/read_ahead.h"

#include <algorithm>
#include <chrono>

#include "diag/trace_log.h"

namespace {
std::atomic<int> g_depth{kDefaultReadAhead};
}  // namespace

void SetReadAheadDepth(int frames) { g_depth.store(std::clamp(frames, 0, 64)); }
int ReadAheadDepth() { return g_depth.load(); }

ReadAhead::ReadAhead(FootageItem& item, std::function<bool()> step)
    : item_(item), step_(std::move(step)) {}

ReadAhead::~ReadAhead() {
  stop_.store(true);
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    armed_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void ReadAhead::Arm() {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    armed_ = true;
  }
  // A thread that cannot be started leaves the item without decoding ahead.
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (...) {
      return;
    }
  }
  wake_.notify_one();
}

void ReadAhead::Run() {
  const TraceLog::QuietThread quiet;
  for (;;) {
    {
      std::unique_lock<std::mutex> hold(mutex_);
      wake_.wait(hold, [this] { return armed_; });
      armed_ = false;
    }
    // The call that armed the worker may still hold the item: try again
    // shortly rather than lose the work (never wait on the item's lock, so
    // a close that joins the worker under it cannot deadlock).
    std::unique_lock<std::mutex> item(item_.lock, std::defer_lock);
    while (!stop_.load() && !item.try_lock()) {
      std::unique_lock<std::mutex> hold(mutex_);
      wake_.wait_for(hold, std::chrono::milliseconds(1), [this] { return stop_.load(); });
    }
    if (stop_.load()) return;
    if (item_.released) continue;
    try {
      while (!stop_.load() && item_.waiting.load() == 0 && step_()) {
      }
    } catch (...) {
      // Out of memory ahead of time: the requests themselves will tell.
    }
  }
}
