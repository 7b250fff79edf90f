// The module's only export. The host finds it by the name in the PiPL
// resource and calls it once after loading the module.
#include "host_abi/callback_edge.h"
#include "host_abi/host_api.h"
#include "shell/registration.h"

#if defined(_WIN32)
#define ZARN_EXPORT __declspec(dllexport)
#else
#define ZARN_EXPORT __attribute__((visibility("default")))
#endif

// The driver versions are not needed and no global refcon is set.
extern "C" ZARN_EXPORT A_Err EntryPointFunc(SPBasicSuite* pica_basicP, A_long, A_long,
                                            AEGP_PluginID aegp_plugin_id, AEGP_GlobalRefcon*) {
  return CallbackEdge([&] { return RegisterImporter(pica_basicP, aegp_plugin_id); });
}
