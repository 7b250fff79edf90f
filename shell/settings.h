// The module's settings from the environment, read once at registration:
// ZARN_CACHE_MB bounds the picture cache of the whole module in MiB (0 turns
// it off), ZARN_OPEN_ITEMS the items that keep their readers open,
// ZARN_READ_AHEAD the frames decoded ahead of playback (0 turns it off).
// Unset or unreadable, each keeps its default.
#pragma once

void ApplyEnvironmentSettings();
