#include "footage/item_registry.h"

#include <algorithm>
#include <list>
#include <unordered_map>
#include <vector>

#include "footage/picture_cache.h"

namespace {

struct Entry {
  std::shared_ptr<FootageItem> item;
  bool open = false;  // in `Registry::open`, at `position`
  std::list<FootageItem*>::iterator position;
};

struct Registry {
  std::mutex mutex;  // guards everything below
  std::unordered_map<const FootageItem*, Entry> items;
  uint64_t next_id = 1;
  std::list<FootageItem*> open;  // items with open readers, most recently used first
  size_t open_bound = kDefaultOpenItems;

  // Under `mutex`.
  void Unlist(Entry& entry) {
    if (!entry.open) return;
    open.erase(entry.position);
    entry.open = false;
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

// The registry's side of the open list, a friend of ItemUse.
class OpenItems {
 public:
  static ItemUse TryUse(std::shared_ptr<FootageItem> item) {
    std::unique_lock<std::mutex> lock(item->lock, std::try_to_lock);
    if (!lock.owns_lock()) return ItemUse(nullptr, std::unique_lock<std::mutex>());
    return ItemUse(std::move(item), std::move(lock));
  }
};

FootageItem* RegisterItem(std::unique_ptr<FootageItem> item) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  item->id = registry.next_id++;
  FootageItem* raw = item.get();
  Entry entry;
  entry.item = std::shared_ptr<FootageItem>(std::move(item));
  registry.items.emplace(raw, std::move(entry));
  return raw;
}

void SetOpenItemBound(size_t bound) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  registry.open_bound = std::max<size_t>(bound, 1);
}

size_t OpenItemCount() {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  return registry.open.size();
}

void NoteItemUsed(const ItemUse& use) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  const auto found = registry.items.find(use.get());
  if (found != registry.items.end() && found->second.open)
    registry.open.splice(registry.open.begin(), registry.open, found->second.position);
}

void CloseItem(const ItemUse& use) {
  if (!use) return;
  use->CloseReaders();
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  const auto found = registry.items.find(use.get());
  if (found != registry.items.end()) registry.Unlist(found->second);
}

void NoteItemOpened(const ItemUse& use) {
  Registry& registry = TheRegistry();
  std::vector<std::shared_ptr<FootageItem>> oldest;  // beyond the bound, oldest first
  size_t excess = 0;
  {
    const std::lock_guard<std::mutex> hold(registry.mutex);
    const auto found = registry.items.find(use.get());
    if (found == registry.items.end()) return;
    Entry& entry = found->second;
    if (entry.open) {
      registry.open.splice(registry.open.begin(), registry.open, entry.position);
    } else {
      registry.open.push_front(use.get());
      entry.position = registry.open.begin();
      entry.open = true;
    }
    if (registry.open.size() <= registry.open_bound) return;
    excess = registry.open.size() - registry.open_bound;
    for (auto at = registry.open.rbegin(); at != registry.open.rend(); ++at) {
      if (*at == use.get()) continue;
      const auto other = registry.items.find(*at);
      if (other != registry.items.end()) oldest.push_back(other->second.item);
    }
  }
  for (std::shared_ptr<FootageItem>& other : oldest) {
    if (excess == 0) break;
    // Never wait for another item while holding this one's lock.
    const ItemUse other_use = OpenItems::TryUse(std::move(other));
    if (!other_use || other_use->released || !other_use->HasOpenReaders()) continue;
    CloseItem(other_use);
    --excess;
  }
}

void ReleaseItem(FootageOptions& record) {
  FootageItem* const raw = record.item;
  record.item = nullptr;
  if (raw == nullptr) return;
  std::shared_ptr<FootageItem> item;
  {
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> hold(registry.mutex);
    const auto found = registry.items.find(raw);
    if (found == registry.items.end()) return;
    registry.Unlist(found->second);
    item = std::move(found->second.item);
    registry.items.erase(found);
  }
  // After the calls already on it; a call still waiting finds it released.
  // The last holder frees it.
  ++item->waiting;
  std::unique_lock<std::mutex> lock(item->lock);
  --item->waiting;
  item->released = true;
  item->CloseReaders();
  PictureCache::Module().Forget(item->id);
}

ItemUse::ItemUse(std::shared_ptr<FootageItem> item, std::unique_lock<std::mutex> lock)
    : item_(std::move(item)), lock_(std::move(lock)) {}

ItemUse::ItemUse(const FootageOptions* record) {
  if (record == nullptr || record->item == nullptr) return;
  {
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> hold(registry.mutex);
    const auto found = registry.items.find(record->item);
    if (found == registry.items.end()) return;
    item_ = found->second.item;
  }
  ++item_->waiting;
  lock_ = std::unique_lock<std::mutex>(item_->lock);
  --item_->waiting;
  if (item_->released) {
    lock_.unlock();
    item_.reset();
  }
}

void ItemUse::Release() {
  if (lock_.owns_lock()) lock_.unlock();
  item_.reset();
}
