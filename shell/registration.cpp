#include "shell/registration.h"

#include <cstring>

#include "diag/trace_log.h"
#include "host_abi/plugin_id.h"
#include "host_abi/suite_cache.h"
#include "shell/function_block.h"
#include "shell/module_info.h"
#include "shell/settings.h"
#include "shell/stubs.h"

A_Err RegisterImporter(const SPBasicSuite* basic, AEGP_PluginID plugin_id) {
  SuiteCache suites(basic);
  const AEGP_RegisterSuite5* reg = suites.RegisterSuite();

  A_Err err = reg->AEGP_RegisterDeathHook(plugin_id, Zarn_DeathHook, nullptr);

  // The host copies both records during RegisterIO; they need not outlive it.
  // memset rather than `{}` so the padding the host sees is zero as well.
  AEIO_ModuleInfo info;
  std::memset(&info, 0, sizeof(info));
  if (!err) err = FillModuleInfo(basic, &info);

  if (!err) {
    TraceLog::Open();  // a log that cannot be opened changes nothing
    ApplyEnvironmentSettings();
    AEIO_FunctionBlock4 block;
    std::memset(&block, 0, sizeof(block));
    FillFunctionBlock(&block);
    err = reg->AEGP_RegisterIO(plugin_id, nullptr, &info, &block);
  }

  if (!err) {
    AEGP_PluginID registered_id = 0;
    err = suites.UtilitySuite()->AEGP_RegisterWithAEGP(nullptr, kZarnPluginName, &registered_id);
    if (!err) SetRegisteredPluginId(registered_id);
  }
  return err;
}
