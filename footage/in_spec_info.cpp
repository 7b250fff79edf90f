// The three information lines the host shows for every footage item.
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/locked_handle.h"
#include "host_abi/suite_cache.h"

A_Err Zarn_GetInSpecInfo(AEIO_BasicData* basic_dataP, AEIO_InSpecH, AEIO_Verbiage* verbiageP) {
  return CallbackEdge([&] {
    SuiteCache suites(BasicSuiteOf(basic_dataP));
    const PF_ANSICallbacksSuite1& ansi = *suites.ANSISuite();
    if (verbiageP == nullptr) return A_Err_PARAMETER;
    ansi.strcpy(verbiageP->name, "");
    ansi.strcpy(verbiageP->type, "Zarn_Importer");
    ansi.strcpy(verbiageP->sub_type, "Imported by Zarn_Importer(ver1.0.7.Varnetholm)");
    return A_Err_NONE;
  });
}
