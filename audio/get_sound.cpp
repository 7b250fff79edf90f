// Temporary until the get-sound callback is built.
#include "shell/callbacks.h"

A_Err Zarn_GetSound(AEIO_BasicData*, AEIO_InSpecH, AEIO_SndQuality, const AEIO_InterruptFuncs*,
                    const A_Time*, const A_Time*, A_u_long, A_u_long, void*) {
  return AEIO_Err_USE_DFLT_CALLBACK;
}
