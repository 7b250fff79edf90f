// Interpret Footage > More Options: the user chooses the item's sound track.
// The item is opened again with that track, exactly as an import of it would
// be, and the host is told the new description. Cancel, the same track, or
// a host that can show no dialog change nothing.
#include <vector>

#include "diag/trace_log.h"
#include "footage/describe_footage.h"
#include "footage/footage_teardown.h"
#include "footage/item_registry.h"
#include "footage/locked_record.h"
#include "footage/open_media.h"
#include "footage/sound_tracks.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/suite_cache.h"
#include "platform/sound_track_dialog.h"

namespace {

// The stand-in host answers through its own suite; otherwise the dialog.
DialogAnswer AskForTrack(SuiteCache& suites, const std::vector<std::string>& rows, int current) {
  if (const ZarnSoundTrackSuite1* chooser = suites.SoundTrackSuite()) {
    std::vector<const A_char*> texts;
    for (const std::string& row : rows) texts.push_back(row.c_str());
    A_long chosen = -1;
    A_Boolean confirmed = 0;
    if (chooser->ChooseSoundTrack(texts.data(), static_cast<A_long>(texts.size()), current, &chosen,
                                  &confirmed) != A_Err_NONE ||
        confirmed == 0) {
      return {DialogAnswer::kCancelled, -1};
    }
    return {DialogAnswer::kChosen, static_cast<int>(chosen)};
  }
#ifdef _WIN32
  void* owner = nullptr;  // the host's main window, else none
  (void)suites.UtilitySuite()->AEGP_GetMainHWND(&owner);
  return ShowSoundTrackDialog(owner, rows, current);
#else
  return ShowSoundTrackDialog(nullptr, rows, current);
#endif
}

// Opens the item again with `choice` and puts it in the record's place.
A_Err Reopen(const AEIO_BasicData* basic_data, FootageOptions& record,
             const SoundTrackChoice& choice) {
  FootageOptions fresh{};
  A_Err err = OpenMedia(basic_data, fresh, record.path, &choice);
  if (err == A_Err_NONE && fresh.item->sound_choice != choice.stream_index) err = A_Err_STRUCT;
  if (err == A_Err_NONE && fresh.video_open != 1 && fresh.has_audio != 1) {
    TraceLine() << "sound track not changed: the item would have no picture and no sound";
    err = A_Err_STRUCT;
  }
  if (err != A_Err_NONE) {
    FreeFootage(fresh);
    return err;
  }
  ReleaseItem(record);
  char* path = record.path;
  record = fresh;
  record.path = path;
  return A_Err_NONE;
}

A_Err ChooseSoundTrack(AEIO_BasicData* basic_data, AEIO_InSpecH spec, A_Boolean* interacted) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  if (interacted != nullptr) *interacted = 0;
  LockedRecord record_lock(suites, spec);
  if (record_lock.error() != A_Err_NONE || record_lock.get() == nullptr) {
    return record_lock.error();
  }
  FootageOptions& record = *record_lock.get();
  std::vector<SoundTrack> tracks;
  int current = 0;
  {
    const ItemUse use(&record);
    if (use) {
      tracks = use->sound_tracks;
      current = RowOfStream(tracks, use->sound_facts.index);
    }
  }
  // Nothing to choose from (no sound stream, or a file that did not open).
  if (tracks.empty()) return record_lock.Unlock();

  const std::vector<std::string> rows = TrackRows(tracks);
  const DialogAnswer answer = AskForTrack(suites, rows, current);
  A_Err err = A_Err_NONE;
  if (answer.outcome == DialogAnswer::kChosen && answer.row != current) {
    const auto choice = ChoiceOfRow(tracks, answer.row);
    err = choice ? Reopen(basic_data, record, *choice) : A_Err_PARAMETER;
    if (err == A_Err_NONE) {
      TraceLine() << "sound track: " << rows[static_cast<size_t>(answer.row)].c_str();
      if (interacted != nullptr) *interacted = 1;
      err = DescribeFootage(*suites.IOInSuite(), spec, record);
      // No sound now: a rate of 0 tells the host so.
      if (err == A_Err_NONE && record.has_audio != 1)
        err = suites.IOInSuite()->AEGP_SetInSpecSoundRate(spec, 0.0);
      if (err == A_Err_NONE && record.has_start_time == 1)
        err = DescribeStartTime(suites.IOInSuiteWithStartTime(), spec, record);
    }
  }
  return FirstError(err, record_lock.Unlock());
}

}  // namespace

A_Err Zarn_SeqOptionsDlg(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                         A_Boolean* user_interactedPB0) {
  return CallbackEdge([&] {
    TraceLine() << "------------Zarn_SeqOptionsDlg Begin";
    const A_Err err =
        CallbackEdge([&] { return ChooseSoundTrack(basic_dataP, specH, user_interactedPB0); });
    TraceLine() << "------------Zarn_SeqOptionsDlg End";
    return err;
  });
}
