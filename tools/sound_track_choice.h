// The sound track through the plug-in's options call, as Interpret Footage
// would make it: the rows the plug-in offers, and a choice by track number
// (0 for no sound) answered by the stand-in user.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/cli_args.h"
#include "tools/tool_session.h"

struct OfferedTracks {
  std::vector<std::string> rows;  // row n is track n; row 0 "No sound"
  A_long current = 0;
};

// What the options call offers for the session's item, the stand-in user
// cancelling; none when the plug-in offers nothing to choose.
std::optional<OfferedTracks> OfferedSoundTracks(ToolSession& session);

// Chooses track `number` (0: no sound); returns whether the plug-in reports
// a change. Throws UsageError when the item offers no such track, and
// PluginError when the call fails.
bool ChooseSoundTrack(ToolSession& session, A_long number);

// --sound-track N, when the command line has it.
void ApplySoundTrackOption(ToolSession& session, const CommandLine& command_line);
