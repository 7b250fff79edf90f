// Opening a project: a new record is built from the path in the stored block
// and the media opened again. The record is installed whatever the open
// returned, so the item keeps its path and can be saved again; it is not
// described to the host again.
#include <optional>
#include <string>

#include "diag/trace_log.h"
#include "footage/flattened_block.h"
#include "footage/new_record_handle.h"
#include "footage/open_media.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/locked_handle.h"
#include "host_abi/suite_cache.h"
#include "platform/host_path.h"

namespace {

A_Err Inflate(AEIO_BasicData* basic_data, AEIO_InSpecH spec, AEIO_Handle flat) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  if (flat == nullptr) return A_Err_NONE;

  const AEGP_MemorySuite1& memory = *suites.MemorySuite();
  // A damaged project may hold a shorter block: never read past its end.
  AEGP_MemSize block_size = 0;
  A_Err err = memory.AEGP_GetMemHandleSize(flat, &block_size);
  LockedHandle block_lock(&memory, flat);
  if (err == A_Err_NONE) err = block_lock.Lock();
  std::string path;
  std::optional<SoundTrackChoice> sound;
  if (err == A_Err_NONE) {
    const char* block = static_cast<const char*>(block_lock.data());
    const auto stored = PathInBlock(block, block_size);
    if (stored) {
      path = NarrowPathFromFlattened(stored->data(), stored->size());
      sound = SoundTrackInBlock(block, block_size, stored->size());
    } else {
      err = A_Err_PARAMETER;
    }
  }
  NewRecordHandle options(&memory);
  if (err == A_Err_NONE) err = options.Create("inflate_options");
  if (err == A_Err_NONE) err = options.SetPath(path);
  if (err == A_Err_NONE) {
    FootageOptions& record = options.record();
    TraceLine() << "path=" << record.path;
    err = OpenMedia(basic_data, record, record.path, sound ? &*sound : nullptr);
    void* previous = nullptr;
    // Not installed means nobody would ever free it: that is an error too.
    const A_Err set_err =
        suites.IOInSuite()->AEGP_SetInSpecOptionsHandle(spec, options.handle(), &previous);
    if (set_err == A_Err_NONE) options.HandedOver();
    err = FirstError(err, set_err);
  }
  err = FirstError(err, options.Finish());
  return FirstError(err, block_lock.Unlock());
}

}  // namespace

A_Err Zarn_InflateOptions(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                          AEIO_Handle flat_optionsH) {
  return CallbackEdge([&] {
    TraceLine() << "------------Zarn_InflateOptions Begin";
    const A_Err err = CallbackEdge([&] { return Inflate(basic_dataP, specH, flat_optionsH); });
    TraceLine() << "------------Zarn_InflateOptions End";
    return err;
  });
}
