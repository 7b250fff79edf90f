// The input module's description for AEGP_RegisterIO: what it reads and how
// large a frame it serves.
#pragma once

#include "host_abi/host_api.h"

inline constexpr AEIO_ModuleSignature kZarnSignature = 0x4550545F;  // 'EPT_'
inline constexpr const char* kZarnPluginName = "Zarn_Importer";

// Sets the module's fields on a record the caller has zero-filled. The name
// is copied with the host's strcpy, under a suite cache of its own. A null
// record gives A_Err_STRUCT and writes nothing; a missing basic suite or ANSI
// suite throws SuiteMissing.
A_Err FillModuleInfo(const SPBasicSuite* basic, AEIO_ModuleInfo* info);
