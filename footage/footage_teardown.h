// Releases everything a record owns, through FFmpeg's null-tolerant frees,
// and leaves the fields zero. Safe on a zero-filled record, on a record whose
// open failed half-way, and when called twice.
#pragma once

#include "footage/footage_options.h"

void FreeFootage(FootageOptions& record);
