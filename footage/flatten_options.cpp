// Saving a project: the footage's path goes into a 1024-byte block that the
// host stores. The block belongs to the host once it is in the out argument,
// also when a later step fails.
#include <optional>
#include <string>

#include "diag/trace_log.h"
#include "footage/flattened_block.h"
#include "footage/footage_options.h"
#include "footage/item_registry.h"
#include "footage/locked_record.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/locked_handle.h"
#include "host_abi/plugin_id.h"
#include "host_abi/suite_cache.h"

namespace {

SoundTrackChoice ChosenSound(const FootageItem& item) {
  if (item.sound_choice == kNoSoundTrack || item.sound_facts.index < 0) return {};
  return {item.sound_facts.index, item.sound_facts.params->codec_id};
}

A_Err Flatten(AEIO_BasicData* basic_data, AEIO_InSpecH spec, AEIO_Handle* flat_out) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  if (flat_out == nullptr) return A_Err_PARAMETER;
  *flat_out = nullptr;  // stays null unless a block is made
  LockedRecord record_lock(suites, spec);
  A_Err err = record_lock.error();
  // An item without options has nothing to save.
  if (err != A_Err_NONE || record_lock.get() == nullptr) return err;

  const AEGP_MemorySuite1& memory = *suites.MemorySuite();
  std::string path;
  std::optional<SoundTrackChoice> sound;  // kept only when the user chose one
  {
    const FootageOptions* record = record_lock.get();
    const ItemUse use(record);        // one call at a time on the item
    const char* text = record->path;  // copied under the item's lock
    path = text != nullptr ? text : "";
    if (use && use->sound_choice != kDefaultSoundTrack) sound = ChosenSound(*use);
    // Refused before a block exists, so nothing is half-written or handed out.
    if (!PathFitsBlock(path.size())) err = A_Err_PARAMETER;
  }
  if (err == A_Err_NONE) {
    err = memory.AEGP_NewMemHandle(RegisteredPluginId(), "flattened_options", kFlattenedBlockSize,
                                   AEGP_MemFlag_CLEAR, flat_out);
    if (err == A_Err_NONE && *flat_out == nullptr) err = A_Err_ALLOC;
  }
  LockedHandle block_lock(&memory, err == A_Err_NONE ? *flat_out : nullptr);
  if (err == A_Err_NONE) err = block_lock.Lock();
  if (err == A_Err_NONE) {
    char* block = static_cast<char*>(block_lock.data());
    WritePathToBlock(block, path);
    TraceLine() << "path=" << block;
    // A path too long for the choice keeps the default track.
    if (sound && !WriteSoundTrackToBlock(block, path.size(), *sound)) {
      TraceLine() << "the chosen sound track is not kept: the path fills the block";
    }
  }
  err = FirstError(err, record_lock.Unlock());
  return FirstError(err, block_lock.Unlock());
}

}  // namespace

A_Err Zarn_FlattenOptions(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                          AEIO_Handle* flat_optionsPH) {
  return CallbackEdge([&] {
    TraceLine() << "************Zarn_FlattenOptions Begin";
    const A_Err err = CallbackEdge([&] { return Flatten(basic_dataP, specH, flat_optionsPH); });
    TraceLine() << "err=" << static_cast<int32_t>(err);
    TraceLine() << "************Zarn_FlattenOptions End";
    return err;
  });
}
