// The options dialog that chooses an item's sound track: a modal window with
// the list of rows, OK and Cancel. Only Windows has one; elsewhere it is
// unavailable.
#pragma once

#include <string>
#include <vector>

struct DialogAnswer {
  enum Outcome { kUnavailable, kCancelled, kChosen };
  Outcome outcome = kUnavailable;
  int row = -1;  // when chosen
};

// Shows `rows` (UTF-8) with `current` selected, owned by the window `owner`
// (an HWND; null for none), and waits for the user.
DialogAnswer ShowSoundTrackDialog(void* owner, const std::vector<std::string>& rows, int current);
