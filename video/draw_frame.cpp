// Temporary until the draw-frame callback is built.
#include "shell/callbacks.h"

A_Err Zarn_DrawSparseFrame(AEIO_BasicData*, AEIO_InSpecH, const AEIO_DrawSparseFramePB*,
                           PF_EffectWorld*, AEIO_DrawingFlags*) {
  return AEIO_Err_USE_DFLT_CALLBACK;
}
