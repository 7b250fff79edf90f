// A suite of the module's own design that lets a host without a window
// system choose a sound track in place of the options dialog. Only the
// stand-in host registers it; the compositing host has no such suite, so
// there the dialog is shown (and where none can be, nothing changes).
#pragma once

#include "host_abi/host_api.h"

inline constexpr const char* kZarnSoundTrackSuite = "Zarn Sound Track Suite";
inline constexpr int32_t kZarnSoundTrackSuiteVersion = 1;

extern "C" {

struct ZarnSoundTrackSuite1 {
  // Offers the dialog's rows (UTF-8 texts; row 0 is "No sound", row n track
  // n) with `current_row` selected. The host writes the row chosen and 1 to
  // *confirmedPB for OK, 0 for Cancel.
  A_Err (*ChooseSoundTrack)(const A_char* const* rows, A_long row_count, A_long current_row,
                            A_long* chosen_rowP, A_Boolean* confirmedPB);
};

}  // extern "C"
