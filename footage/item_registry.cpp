#include "footage/item_registry.h"

#include <algorithm>
#include <list>
#include <unordered_map>
#include <vector>

#include "footage/item_open.h"
#include "footage/picture_cache.h"

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<const FootageItem*, std::shared_ptr<FootageItem>> items;
  uint64_t next_id = 1;
  std::list<FootageItem*> open;  // items with open readers, most recently used first
  size_t open_bound = kDefaultOpenItems;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::shared_ptr<FootageItem> Find(const FootageItem* item) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  const auto found = registry.items.find(item);
  return found == registry.items.end() ? nullptr : found->second;
}

}  // namespace

FootageItem* RegisterItem(std::unique_ptr<FootageItem> item) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  item->id = registry.next_id++;
  FootageItem* raw = item.get();
  registry.items.emplace(raw, std::shared_ptr<FootageItem>(std::move(item)));
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

void NoteItemUsed(FootageItem& item) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  if (item.in_open_list)
    registry.open.splice(registry.open.begin(), registry.open, item.open_position);
}

void NoteItemClosed(FootageItem& item) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> hold(registry.mutex);
  if (!item.in_open_list) return;
  registry.open.erase(item.open_position);
  item.in_open_list = false;
}

void NoteItemOpened(FootageItem& item) {
  Registry& registry = TheRegistry();
  std::vector<std::shared_ptr<FootageItem>> oldest;  // beyond the bound, oldest first
  size_t excess = 0;
  {
    const std::lock_guard<std::mutex> hold(registry.mutex);
    if (item.in_open_list) {
      registry.open.splice(registry.open.begin(), registry.open, item.open_position);
    } else {
      registry.open.push_front(&item);
      item.open_position = registry.open.begin();
      item.in_open_list = true;
    }
    if (registry.open.size() <= registry.open_bound) return;
    excess = registry.open.size() - registry.open_bound;
    for (auto at = registry.open.rbegin(); at != registry.open.rend(); ++at) {
      if (*at == &item) continue;
      const auto found = registry.items.find(*at);
      if (found != registry.items.end()) oldest.push_back(found->second);
    }
  }
  for (const std::shared_ptr<FootageItem>& other : oldest) {
    if (excess == 0) break;
    // Never wait for another item while holding this one's lock.
    std::unique_lock<std::mutex> hold(other->lock, std::try_to_lock);
    if (!hold.owns_lock() || other->released || !(other->video || other->sound)) continue;
    CloseItem(*other);
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
    item = std::move(found->second);
    registry.items.erase(found);
  }
  // After the calls already on it; a call still waiting finds it released.
  // The last holder frees it.
  const std::lock_guard<std::mutex> hold(item->lock);
  item->released = true;
  CloseItem(*item);
  PictureCache::Module().Forget(item->id);
}

ItemUse::ItemUse(const FootageOptions* record) {
  if (record == nullptr || record->item == nullptr) return;
  item_ = Find(record->item);
  if (!item_) return;
  lock_ = std::unique_lock<std::mutex>(item_->lock);
  if (item_->released) {
    lock_.unlock();
    item_.reset();
  }
}

void ItemUse::Release() {
  if (lock_.owns_lock()) lock_.unlock();
  item_.reset();
}
