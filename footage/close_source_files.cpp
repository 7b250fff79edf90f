// The host asks the item to let go of its file (for instance while it
// collects a project's files): its demuxers and decoders close, and its next
// request opens them again. The item stays valid and its saved block is
// unchanged.
#include "footage/footage_options.h"
#include "footage/item_open.h"
#include "footage/item_registry.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/locked_handle.h"
#include "host_abi/suite_cache.h"

namespace {

A_Err CloseSourceFiles(AEIO_BasicData* basic_data, AEIO_InSpecH spec) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  void* options = nullptr;
  const A_Err err = suites.IOInSuite()->AEGP_GetInSpecOptionsHandle(spec, &options);
  if (options == nullptr || err != A_Err_NONE) return err;
  LockedHandle lock(suites.MemorySuite(), static_cast<AEGP_MemHandle>(options));
  if (const A_Err lock_err = lock.Lock(); lock_err != A_Err_NONE) return lock_err;
  {
    ItemUse use(static_cast<const FootageOptions*>(lock.data()));
    if (use) CloseItem(*use.get());
  }
  return lock.Unlock();
}

}  // namespace

A_Err Zarn_CloseSourceFiles(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH) {
  return CallbackEdge([&] { return CloseSourceFiles(basic_dataP, specH); });
}
