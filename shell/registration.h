// What the entry point does, kept apart from the exported function so that
// tests can drive it inside the test program.
#pragma once

#include "host_abi/host_api.h"

// Registers the death hook, the input module and the plug-in's name with the
// host; opens the trace log on the way. Returns the first non-zero host
// result, which ends the sequence. Throws SuiteMissing for a null basic suite
// or a suite the host does not give, after releasing what was acquired.
A_Err RegisterImporter(const SPBasicSuite* basic, AEGP_PluginID plugin_id);
