#include "footage/picture_cache.h"

#include <algorithm>
#include <climits>

PictureCache& PictureCache::Module() {
  static PictureCache cache;
  return cache;
}

void PictureCache::SetBounds(size_t module_bytes, size_t item_bytes) {
  const std::lock_guard<std::mutex> hold(mutex_);
  module_bound_ = module_bytes;
  item_bound_ = std::min(item_bytes, module_bytes);
  for (auto& [id, item] : items_) EndAheadLocked(item, INT64_MAX);
  EvictLocked(nullptr);
}

bool PictureCache::enabled() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return module_bound_ > 0 && item_bound_ > 0;
}

size_t PictureCache::item_bound() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return item_bound_;
}

size_t PictureCache::PictureBytes(const AVFrame& picture) {
  size_t bytes = sizeof(AVFrame);
  for (const AVBufferRef* buf : picture.buf) {
    if (buf != nullptr) bytes += buf->size;
  }
  for (int i = 0; i < picture.nb_extended_buf; ++i) bytes += picture.extended_buf[i]->size;
  return bytes;
}

void PictureCache::EraseLocked(Item& item, std::map<int64_t, Entry>::iterator at) {
  Entry& entry = at->second;
  item.bytes -= entry.bytes;
  bytes_ -= entry.bytes;
  --pictures_;
  if (entry.ahead) {
    item.ahead_bytes -= entry.bytes;
    ahead_bytes_ -= entry.bytes;
    item.ahead.erase(entry.ts);
  } else {
    lru_.erase(entry.in_lru);
  }
  item.by_ts.erase(at);
}

bool PictureCache::RoomAheadLocked(size_t item_ahead_bytes, size_t bytes) const {
  return ahead_bytes_ + bytes <= module_bound_ / 4 && item_ahead_bytes + bytes <= item_bound_ / 2;
}

size_t PictureCache::RoomAheadBytes() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return module_bound_ / 4;
}

bool PictureCache::RoomAhead(uint64_t item, size_t bytes) const {
  const std::lock_guard<std::mutex> hold(mutex_);
  if (module_bound_ == 0 || item_bound_ == 0) return false;
  const auto owner = items_.find(item);
  return RoomAheadLocked(owner == items_.end() ? 0 : owner->second.ahead_bytes, bytes);
}

// A picture held ahead becomes an ordinary one: most recently used when a
// request found it, least when it was passed by.
void PictureCache::SettleLocked(Item& item, Entry& entry, bool used) {
  if (!entry.ahead) return;
  entry.ahead = false;
  item.ahead_bytes -= entry.bytes;
  ahead_bytes_ -= entry.bytes;
  item.ahead.erase(entry.ts);
  entry.in_lru = used ? lru_.insert(lru_.begin(), &entry) : lru_.insert(lru_.end(), &entry);
}

// Settles the item's pictures held ahead that lie before `before`.
void PictureCache::EndAheadLocked(Item& item, int64_t before) {
  while (!item.ahead.empty() && *item.ahead.begin() < before)
    SettleLocked(item, item.by_ts.at(*item.ahead.begin()), false);
}

void PictureCache::EndAhead(uint64_t item) {
  const std::lock_guard<std::mutex> hold(mutex_);
  const auto owner = items_.find(item);
  if (owner == items_.end() || owner->second.ahead.empty()) return;
  EndAheadLocked(owner->second, INT64_MAX);
  EvictLocked(nullptr);
}

// Least recently used out first, while the module is over its bound, or an
// item over its own: `grown` when only that one can be (it just grew), null
// to look at every item.
void PictureCache::EvictLocked(const Item* grown) {
  const auto over = [&](const Item& item) {
    return item.bytes > item_bound_ && (grown == nullptr || &item == grown);
  };
  const auto done = [&] {
    return bytes_ <= module_bound_ && (grown == nullptr ? false : !over(*grown));
  };
  for (auto at = lru_.end(); at != lru_.begin() && !done();) {
    const auto victim = std::prev(at);
    Item& owner = items_[(*victim)->item];
    if (bytes_ > module_bound_ || over(owner)) {
      EraseLocked(owner, owner.by_ts.find((*victim)->ts));  // `at` stays valid
    } else {
      at = victim;
    }
  }
}

void PictureCache::Put(uint64_t item, const AVFrame& picture, int64_t ts, int64_t prev,
                       bool ahead) {
  const std::lock_guard<std::mutex> hold(mutex_);
  if (module_bound_ == 0 || item_bound_ == 0 || prev >= ts) return;
  Item& owner = items_[item];
  const auto existing = owner.by_ts.find(ts);
  if (existing != owner.by_ts.end()) {
    if (!existing->second.ahead) lru_.splice(lru_.begin(), lru_, existing->second.in_lru);
    return;
  }
  const size_t bytes = PictureBytes(picture);
  if (bytes > item_bound_) return;
  FramePtr copy(av_frame_alloc());
  if (!copy || av_frame_ref(copy.get(), &picture) < 0) return;  // not kept: only work saved
  Entry& entry = owner.by_ts[ts];
  entry = Entry{item, ts, prev, std::move(copy), bytes, lru_.end(), false};
  if (ahead) {  // decoding ahead asked for room first (RoomAhead)
    entry.ahead = true;
    owner.ahead_bytes += bytes;
    ahead_bytes_ += bytes;
    owner.ahead.insert(ts);
  } else {
    lru_.push_front(&entry);
    entry.in_lru = lru_.begin();
  }
  owner.bytes += bytes;
  bytes_ += bytes;
  ++pictures_;
  EvictLocked(&owner);
}

FramePtr PictureCache::Find(uint64_t item, int64_t low, int64_t* ts, int64_t* prev) {
  const std::lock_guard<std::mutex> hold(mutex_);
  const auto owner = items_.find(item);
  if (owner == items_.end()) return nullptr;
  const auto at = owner->second.by_ts.lower_bound(low);
  // The first picture at or after `low` is the answer only when the one
  // before it lies below `low`: nothing the cache does not hold comes between.
  if (at == owner->second.by_ts.end() || at->second.prev >= low) return nullptr;
  FramePtr copy(av_frame_alloc());
  if (!copy || av_frame_ref(copy.get(), at->second.picture.get()) < 0) return nullptr;
  // What was held ahead up to here has been asked for or passed by.
  EndAheadLocked(owner->second, at->first);
  if (at->second.ahead) {
    SettleLocked(owner->second, at->second, true);
  } else {
    lru_.splice(lru_.begin(), lru_, at->second.in_lru);
  }
  if (ts != nullptr) *ts = at->first;
  if (prev != nullptr) *prev = at->second.prev;
  return copy;
}

void PictureCache::Forget(uint64_t item) {
  const std::lock_guard<std::mutex> hold(mutex_);
  const auto owner = items_.find(item);
  if (owner == items_.end()) return;
  while (!owner->second.by_ts.empty()) EraseLocked(owner->second, owner->second.by_ts.begin());
  items_.erase(owner);
}

size_t PictureCache::Bytes(uint64_t item) const {
  const std::lock_guard<std::mutex> hold(mutex_);
  const auto owner = items_.find(item);
  return owner == items_.end() ? 0 : owner->second.bytes;
}

size_t PictureCache::Bytes() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return bytes_;
}

size_t PictureCache::Pictures() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return pictures_;
}
