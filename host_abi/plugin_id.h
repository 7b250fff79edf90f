// The id the host gave the plug-in when it registered by name. Every memory
// handle the plug-in creates is made under it.
#pragma once

#include "host_abi/host_api.h"

// Zero until registration has completed.
AEGP_PluginID RegisteredPluginId();

// Set once, by the entry point, from what the host wrote.
void SetRegisteredPluginId(AEGP_PluginID id);
