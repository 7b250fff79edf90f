// Where the trace log goes: relative to the current directory, with the
// platform's separator. The folders are never created.
#pragma once

const char* TraceLogPath();
