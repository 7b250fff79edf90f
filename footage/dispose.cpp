// The footage item goes away: everything its record owns is released and the
// options handle freed. A handle the host reports still locked is not freed.
#include "footage/footage_teardown.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/locked_handle.h"
#include "host_abi/suite_cache.h"

namespace {

A_Err Dispose(AEIO_BasicData* basic_data, AEIO_InSpecH spec) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  void* options = nullptr;
  const A_Err err = suites.IOInSuite()->AEGP_GetInSpecOptionsHandle(spec, &options);
  if (options == nullptr || err != A_Err_NONE) return err;

  const AEGP_MemorySuite1& memory = *suites.MemorySuite();
  const auto handle = static_cast<AEGP_MemHandle>(options);
  LockedHandle lock(&memory, handle);
  if (const A_Err lock_err = lock.Lock(); lock_err != A_Err_NONE) return lock_err;
  FreeFootage(*static_cast<FootageOptions*>(lock.data()));
  if (const A_Err unlock_err = lock.Unlock(); unlock_err != A_Err_NONE) return unlock_err;
  return memory.AEGP_FreeMemHandle(handle);
}

}  // namespace

A_Err Zarn_DisposeInSpec(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH) {
  return CallbackEdge([&] { return Dispose(basic_dataP, specH); });
}
