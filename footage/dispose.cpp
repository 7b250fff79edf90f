// The footage item goes away: everything its record owns is released and the
// options handle freed. A handle the host reports still locked is not freed.
#include "footage/footage_teardown.h"
#include "footage/locked_record.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/suite_cache.h"

namespace {

A_Err Dispose(AEIO_BasicData* basic_data, AEIO_InSpecH spec) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  LockedRecord lock(suites, spec);
  if (lock.error() != A_Err_NONE || lock.get() == nullptr) return lock.error();
  // FreeFootage takes the item's lock itself, after any call still on it.
  FreeFootage(*lock.get());
  if (const A_Err unlock_err = lock.Unlock(); unlock_err != A_Err_NONE) return unlock_err;
  return suites.MemorySuite()->AEGP_FreeMemHandle(lock.handle());
}

}  // namespace

A_Err Zarn_DisposeInSpec(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH) {
  return CallbackEdge([&] { return Dispose(basic_dataP, specH); });
}
