// Every footage item the module has open. The record holds a plain pointer
// to its item; a callback looks that pointer up here and holds the item
// (shared) for as long as it works on it, under the item's own lock, so
// calls on one item run one at a time and dispose never frees an item from
// under another call. The registry alone keeps the list of items with open
// readers, under its own mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "footage/footage_item.h"
#include "footage/footage_options.h"

// Takes the item into the registry and gives it its id; returns the pointer
// the record keeps.
FootageItem* RegisterItem(std::unique_ptr<FootageItem> item);

// Takes the record's item out of the registry and releases it once no call
// holds it any more; clears record.item. An item the registry does not know
// is left alone.
void ReleaseItem(FootageOptions& record);

// The record's item, held and locked for one callback: what every function
// that works on an item's readers takes, so none runs without the lock.
// Empty when the record has none or it was released. The lock is taken on
// construction (waiting for another call on the same item) and given back
// on destruction.
class ItemUse {
 public:
  explicit ItemUse(const FootageOptions* record);
  ItemUse(const ItemUse&) = delete;
  ItemUse& operator=(const ItemUse&) = delete;

  FootageItem* get() const { return item_.get(); }
  FootageItem& operator*() const { return *item_; }
  FootageItem* operator->() const { return item_.get(); }
  explicit operator bool() const { return item_ != nullptr; }
  // Gives the lock back early, before the callback's own calls to the host.
  void Release();

 private:
  friend class OpenItems;
  ItemUse(std::shared_ptr<FootageItem> item, std::unique_lock<std::mutex> lock);

  std::shared_ptr<FootageItem> item_;
  std::unique_lock<std::mutex> lock_;
};

// ---- items with open readers: at most a bound of them, least recently used
// closed first.

inline constexpr size_t kDefaultOpenItems = 32;
// The bound; at least 1.
void SetOpenItemBound(size_t bound);
// Items whose readers are open now.
size_t OpenItemCount();

// The item opened a reader: it becomes the most recently used, and the least
// recently used beyond the bound are closed. An item another call is using
// right now is passed over, never waited for.
void NoteItemOpened(const ItemUse& use);
// The item was used.
void NoteItemUsed(const ItemUse& use);

// Closes the item's readers: it holds no file, demuxer or decoder until its
// next request, which opens them again at the start of the file. Its
// pictures stay in the picture cache.
void CloseItem(const ItemUse& use);
