// The input module's callbacks, as the function block hands them to the host.
// Each is defined in the subsystem that owns its work (footage/, video/,
// audio/, shell/) and catches every exception at its own edge.
#pragma once

#include "host_abi/host_api.h"

A_Err Zarn_InitInSpecFromFile(AEIO_BasicData* basic_dataP, const A_UTF16Char* file_pathZ,
                              AEIO_InSpecH specH);
A_Err Zarn_DisposeInSpec(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH);
A_Err Zarn_GetInSpecInfo(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, AEIO_Verbiage* verbiageP);
A_Err Zarn_FlattenOptions(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                          AEIO_Handle* flat_optionsPH);
A_Err Zarn_InflateOptions(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                          AEIO_Handle flat_optionsH);
A_Err Zarn_DrawSparseFrame(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                           const AEIO_DrawSparseFramePB* sparse_framePPB, PF_EffectWorld* wP,
                           AEIO_DrawingFlags* draw_flagsP);
A_Err Zarn_SeqOptionsDlg(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                         A_Boolean* user_interactedPB0);
A_Err Zarn_CloseSourceFiles(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH);
A_Err Zarn_GetSound(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, AEIO_SndQuality quality,
                    const AEIO_InterruptFuncs* interrupt0, const A_Time* startPT,
                    const A_Time* durPT, A_u_long start_sampLu, A_u_long num_samplesLu,
                    void* dataPV);
