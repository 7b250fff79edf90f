// Temporary: the footage callbacks until init, info, dispose, flatten and
// inflate are built. Each file that defines one of them removes it here.
#include "shell/callbacks.h"

A_Err Zarn_InitInSpecFromFile(AEIO_BasicData*, const A_UTF16Char*, AEIO_InSpecH) {
  return AEIO_Err_USE_DFLT_CALLBACK;
}
A_Err Zarn_DisposeInSpec(AEIO_BasicData*, AEIO_InSpecH) { return AEIO_Err_USE_DFLT_CALLBACK; }
A_Err Zarn_GetInSpecInfo(AEIO_BasicData*, AEIO_InSpecH, AEIO_Verbiage*) {
  return AEIO_Err_USE_DFLT_CALLBACK;
}
A_Err Zarn_FlattenOptions(AEIO_BasicData*, AEIO_InSpecH, AEIO_Handle*) {
  return AEIO_Err_USE_DFLT_CALLBACK;
}
A_Err Zarn_InflateOptions(AEIO_BasicData*, AEIO_InSpecH, AEIO_Handle) {
  return AEIO_Err_USE_DFLT_CALLBACK;
}
