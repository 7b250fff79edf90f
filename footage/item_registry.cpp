#include "footage/item_registry.h"

#include <unordered_map>

#include "footage/picture_cache.h"

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<const FootageItem*, std::shared_ptr<FootageItem>> items;
  uint64_t next_id = 1;
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
  item->video.cache_id = item->id;
  FootageItem* raw = item.get();
  registry.items.emplace(raw, std::shared_ptr<FootageItem>(std::move(item)));
  return raw;
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
