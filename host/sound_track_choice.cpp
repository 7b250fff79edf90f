// The stand-in user's answer to the sound track choice: the suite that only
// this host offers, in place of the dialog a windowed host shows.
#include <string>
#include <vector>

#include "host/host_state.h"
#include "host_abi/sound_track_suite.h"

namespace standin {
namespace {

A_Err ChooseSoundTrack(const A_char* const* rows, A_long row_count, A_long current_row,
                       A_long* chosen_rowP, A_Boolean* confirmedPB) {
  SoundTrackChooser chooser;
  std::vector<std::string> texts;
  const A_Err checked = WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    if (chosen_rowP == nullptr || confirmedPB == nullptr || (rows == nullptr && row_count > 0) ||
        row_count < 0 || current_row < 0 || current_row >= row_count) {
      s.Problem("ChooseSoundTrack with bad arguments");
      return A_Err_PARAMETER;
    }
    for (A_long i = 0; i < row_count; ++i) texts.emplace_back(rows[i] != nullptr ? rows[i] : "");
    chooser = s.sound_track_chooser;
    return chooser ? A_Err_NONE : A_Err_GENERIC;
  });
  if (checked != A_Err_NONE) return checked;
  // Answered outside the host's lock: the chooser may look at the host.
  const TrackAnswer answer = chooser(texts, current_row);
  *chosen_rowP = answer.row;
  *confirmedPB = answer.confirmed ? 1 : 0;
  return A_Err_NONE;
}

}  // namespace

const void* SoundTrackSuiteTable() {
  static const ZarnSoundTrackSuite1 table{&ChooseSoundTrack};
  return &table;
}

void Host::SetSoundTrackChooser(SoundTrackChooser chooser) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->sound_track_chooser = std::move(chooser);
}

}  // namespace standin
