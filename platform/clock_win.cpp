#include <windows.h>

#include "platform/clock.h"

// Monotonic, and immune to changes of the wall clock.
int64_t NowMilliseconds() { return static_cast<int64_t>(GetTickCount64()); }
