#include "platform/sound_track_dialog.h"

DialogAnswer ShowSoundTrackDialog(void*, const std::vector<std::string>&, int) { return {}; }
