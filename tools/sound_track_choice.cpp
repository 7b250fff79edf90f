#include "tools/sound_track_choice.h"

std::optional<OfferedTracks> OfferedSoundTracks(ToolSession& session) {
  if (session.host().callbacks().AEIO_SeqOptionsDlg == nullptr) return std::nullopt;
  std::optional<OfferedTracks> offered;
  session.host().SetSoundTrackChooser([&](const std::vector<std::string>& rows, A_long current) {
    offered = OfferedTracks{rows, current};
    return standin::TrackAnswer{false, current};
  });
  A_Boolean interacted = 0;
  const A_Err result = session.host().OptionsDialog(session.spec(), &interacted);
  session.host().SetSoundTrackChooser(nullptr);
  if (result != A_Err_NONE) throw PluginError("options", result);
  return offered;
}

bool ChooseSoundTrack(ToolSession& session, A_long number) {
  bool offered = false;
  A_long rows_offered = 0;
  session.host().SetSoundTrackChooser([&](const std::vector<std::string>& rows, A_long current) {
    offered = true;
    rows_offered = static_cast<A_long>(rows.size());
    if (number < 0 || number >= rows_offered) return standin::TrackAnswer{false, current};
    return standin::TrackAnswer{true, number};
  });
  A_Boolean interacted = 0;
  const A_Err result = session.host().OptionsDialog(session.spec(), &interacted);
  session.host().SetSoundTrackChooser(nullptr);
  if (!offered && number != 0) throw UsageError("the file has no sound tracks to choose from");
  if (offered && (number < 0 || number >= rows_offered)) {
    throw UsageError("--sound-track must be 0 (no sound) to " + std::to_string(rows_offered - 1));
  }
  if (result != A_Err_NONE)
    throw PluginError("choosing sound track " + std::to_string(number), result);
  return interacted != 0;
}

void ApplySoundTrackOption(ToolSession& session, const CommandLine& command_line) {
  if (const auto text = command_line.Get("sound-track")) {
    ChooseSoundTrack(session, static_cast<A_long>(ParseCount(*text, "--sound-track")));
  }
}
