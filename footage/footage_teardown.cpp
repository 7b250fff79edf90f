#include "footage/footage_teardown.h"

#include <cstring>

#include "footage/av_owners.h"
#include "footage/item_registry.h"

void FreeFootage(FootageOptions& record) {
  // The item's owners close its decoders and demuxers once no call holds it;
  // av_freep accepts null.
  ReleaseItem(record);
  av_freep(&record.path);
  // Every byte zero, as the host hands the record out (0.0 is all zero bits).
  std::memset(&record, 0, sizeof record);
}
