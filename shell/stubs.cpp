#include "shell/stubs.h"

A_Err Zarn_DeathHook(AEGP_GlobalRefcon, AEGP_DeathRefcon) {
  return CallbackEdge([] { return A_Err_NONE; });
}

A_Err Zarn_VerifyFileImportable(AEIO_BasicData*, AEIO_ModuleSignature, const A_UTF16Char*,
                                A_Boolean* importablePB) {
  return CallbackEdge([importablePB] {
    if (importablePB) *importablePB = 1;  // a host passing no flag gets no write
    return A_Err_NONE;
  });
}

A_Err Zarn_CountUserData(AEIO_BasicData*, AEIO_InSpecH, A_u_long, A_u_long,
                         A_u_long* num_of_typeLu) {
  return CallbackEdge([num_of_typeLu] {
    if (num_of_typeLu) *num_of_typeLu = 0;
    return A_Err_NONE;
  });
}

A_Err Zarn_GetUserData(AEIO_BasicData*, AEIO_InSpecH, A_u_long, A_u_long, A_u_long,
                       AEIO_Handle* dataPH) {
  return CallbackEdge([dataPH] {
    if (dataPH) *dataPH = nullptr;
    return A_Err_NONE;
  });
}
