#include "platform/trace_path.h"

const char* TraceLogPath() { return "Plug-ins\\zarn_plus\\zarn_importer_dialog.txt"; }
