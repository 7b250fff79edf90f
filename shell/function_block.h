// The input module's callbacks, placed at the host's positions.
#pragma once

#include "host_abi/host_api.h"

// Sets the entries the plug-in serves on a block the caller has zero-filled;
// every other entry stays null.
void FillFunctionBlock(AEIO_FunctionBlock4* block);
