// The host asks the item to let go of its file (for instance while it
// collects a project's files): its demuxers and decoders close, and its next
// request opens them again. The item stays valid and its saved block is
// unchanged.
#include "footage/footage_options.h"
#include "footage/item_registry.h"
#include "footage/locked_record.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/suite_cache.h"

namespace {

A_Err CloseSourceFiles(AEIO_BasicData* basic_data, AEIO_InSpecH spec) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  LockedRecord lock(suites, spec);
  if (lock.error() != A_Err_NONE || lock.get() == nullptr) return lock.error();
  CloseItem(ItemUse(lock.get()));
  return lock.Unlock();
}

}  // namespace

A_Err Zarn_CloseSourceFiles(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH) {
  return CallbackEdge([&] { return CloseSourceFiles(basic_dataP, specH); });
}
