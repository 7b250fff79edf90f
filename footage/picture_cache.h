// The module's picture cache: decoded pictures as the decoder gave them
// (references, not converted copies), kept per footage item by timestamp,
// least recently used out first, within a bound per item and one for the
// whole module. A picture is kept with the timestamp of the picture before
// it in display order, when a continuous decode showed it: the cache then
// knows which picture a sequential decode shows from any time between the
// two, and answers exactly that, or nothing.
//
// Pictures decoded ahead of playback are held until a request finds them,
// passes them by, or the item stops playing in order: evicting them first
// would leave the decoder past a picture the host is about to ask for, and
// cost a seek to get it back. They may fill a quarter of the module's bound
// and half an item's; decoding ahead waits for room.
//
// One cache serves every item; it takes its own lock for each call and
// hands out new references, so a picture evicted while an item converts it
// stays alive until that item lets go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include "footage/av_owners.h"

class PictureCache {
 public:
  static constexpr size_t kDefaultModuleBytes = size_t{1} << 30;  // 1 GiB
  static constexpr size_t kDefaultItemBytes = size_t{256} << 20;  // 256 MiB

  // The one cache of the module.
  static PictureCache& Module();

  // Bounds in bytes; 0 for the module turns the cache off (and empties it).
  // An item's bound never exceeds the module's.
  void SetBounds(size_t module_bytes, size_t item_bytes);
  bool enabled() const;
  size_t item_bound() const;

  // Keeps a reference to `picture`, shown at `ts`, for `item`. `prev` is the
  // timestamp of the picture before it (INT64_MIN when it is the stream's
  // first); a picture whose predecessor is not known is not kept.
  // `ahead`: decoded ahead of playback, held as above.
  void Put(uint64_t item, const AVFrame& picture, int64_t ts, int64_t prev, bool ahead = false);

  // Whether `item` may decode another picture of `bytes` ahead. Items that
  // decode ahead at once may each pass the bound by the picture they ask for.
  bool RoomAhead(uint64_t item, size_t bytes) const;

  // What the pictures of all items held ahead may take together.
  size_t RoomAheadBytes() const;

  // The pictures `item` decoded ahead become ordinary ones, evicted first.
  void EndAhead(uint64_t item);

  // A new reference to the picture a sequential decode of `item` shows from
  // `low` on (the first at or after it), when the cache knows it; null
  // otherwise. Its timestamp goes to *ts, its predecessor's to *prev.
  FramePtr Find(uint64_t item, int64_t low, int64_t* ts = nullptr, int64_t* prev = nullptr);

  // Drops every picture of `item`.
  void Forget(uint64_t item);

  // What the cache holds: for one item, and for the module.
  size_t Bytes(uint64_t item) const;
  size_t Bytes() const;
  size_t Pictures() const;

  // The bytes a picture holds: its buffers.
  static size_t PictureBytes(const AVFrame& picture);

 private:
  struct Entry;
  using Lru = std::list<Entry*>;
  struct Entry {
    uint64_t item;
    int64_t ts;
    int64_t prev;
    FramePtr picture;
    size_t bytes;
    Lru::iterator in_lru;  // lru_.end() while held ahead
    bool ahead = false;
  };
  struct Item {
    std::map<int64_t, Entry> by_ts;
    size_t bytes = 0;
    size_t ahead_bytes = 0;
    std::set<int64_t> ahead;  // timestamps of the pictures held ahead
  };

  bool RoomAheadLocked(size_t item_ahead_bytes, size_t bytes) const;
  void SettleLocked(Item& item, Entry& entry, bool used);
  void EndAheadLocked(Item& item, int64_t before);
  void EvictLocked(const Item* grown);
  void EraseLocked(Item& item, std::map<int64_t, Entry>::iterator at);

  mutable std::mutex mutex_;
  size_t module_bound_ = kDefaultModuleBytes;
  size_t item_bound_ = kDefaultItemBytes;
  size_t bytes_ = 0;
  size_t ahead_bytes_ = 0;
  size_t pictures_ = 0;
  Lru lru_;  // most recently used first
  std::unordered_map<uint64_t, Item> items_;
};
