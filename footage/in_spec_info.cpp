// The three information lines the host shows for every footage item. The
// first names the sound track in use when there was a choice to make: the
// file has several, or the user chose one.
#include <string>

#include "footage/item_registry.h"
#include "footage/locked_record.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/suite_cache.h"

namespace {

// The track line for the item, cut to the host's 32-byte field on a UTF-8
// character boundary; empty when there is nothing to name. *err gets the
// host's error from reaching the record.
std::string SoundTrackLine(SuiteCache& suites, AEIO_InSpecH spec, A_Err* err) {
  LockedRecord record_lock(suites, spec);
  std::string line;
  if (record_lock.get() != nullptr) {
    const ItemUse use(record_lock.get());
    if (use && (use->sound_tracks.size() > 1 || use->sound_choice != kDefaultSoundTrack)) {
      line = TrackInUseLine(use->sound_tracks, use->sound_facts.index);
    }
  }
  *err = FirstError(record_lock.error(), record_lock.Unlock());
  constexpr size_t kLongest = sizeof(AEIO_Verbiage{}.name) - 1;
  if (line.size() > kLongest) {
    size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    line.resize(cut);
  }
  return line;
}

}  // namespace

A_Err Zarn_GetInSpecInfo(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                         AEIO_Verbiage* verbiageP) {
  return CallbackEdge([&] {
    SuiteCache suites(BasicSuiteOf(basic_dataP));
    const PF_ANSICallbacksSuite1& ansi = *suites.ANSISuite();
    if (verbiageP == nullptr) return A_Err{A_Err_PARAMETER};
    // The lines are written also when the record cannot be reached; the
    // host's error is still returned.
    A_Err err = A_Err_NONE;
    const std::string track = SoundTrackLine(suites, specH, &err);
    ansi.strcpy(verbiageP->name, track.c_str());
    ansi.strcpy(verbiageP->type, "Zarn_Importer");
    ansi.strcpy(verbiageP->sub_type, "Imported by Zarn_Importer(ver1.0.7.Varnetholm)");
    return err;
  });
}
