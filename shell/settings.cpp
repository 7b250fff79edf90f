#include "shell/settings.h"

#include "footage/item_registry.h"
#include "footage/picture_cache.h"
#include "platform/environment.h"
#include "video/read_ahead.h"

void ApplyEnvironmentSettings() {
  // Up to a petabyte; anything else is not a setting. Each item's bound is
  // the default, or the module's when that is smaller.
  const auto mib = EnvironmentCount("ZARN_CACHE_MB", uint64_t{1} << 30);
  const size_t module_bytes =
      mib ? static_cast<size_t>(*mib) << 20 : PictureCache::kDefaultModuleBytes;
  PictureCache::Module().SetBounds(module_bytes, PictureCache::kDefaultItemBytes);

  const auto count = EnvironmentCount("ZARN_OPEN_ITEMS", 1000000);
  SetOpenItemBound(count && *count >= 1 ? static_cast<size_t>(*count) : kDefaultOpenItems);

  const auto ahead = EnvironmentCount("ZARN_READ_AHEAD", 64);
  SetReadAheadDepth(ahead ? static_cast<int>(*ahead) : kDefaultReadAhead);
}
