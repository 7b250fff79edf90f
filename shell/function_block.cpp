#include "shell/function_block.h"

#include "host_abi/callbacks.h"
#include "shell/stubs.h"

void FillFunctionBlock(AEIO_FunctionBlock4* block) {
  AEIO_FunctionBlock4& b = *block;
  b.AEIO_InitInSpecFromFile = Zarn_InitInSpecFromFile;
  b.AEIO_InitInSpecInteractive = kReturnZeroStub<decltype(b.AEIO_InitInSpecInteractive)>;
  b.AEIO_DisposeInSpec = Zarn_DisposeInSpec;
  b.AEIO_FlattenOptions = Zarn_FlattenOptions;
  b.AEIO_InflateOptions = Zarn_InflateOptions;
  b.AEIO_SynchInSpec = kDefaultHandlingStub<decltype(b.AEIO_SynchInSpec)>;
  b.AEIO_GetActiveExtent = kDefaultHandlingStub<decltype(b.AEIO_GetActiveExtent)>;
  b.AEIO_GetInSpecInfo = Zarn_GetInSpecInfo;
  b.AEIO_DrawSparseFrame = Zarn_DrawSparseFrame;
  b.AEIO_GetDimensions = kDefaultHandlingStub<decltype(b.AEIO_GetDimensions)>;
  b.AEIO_GetDuration = kDefaultHandlingStub<decltype(b.AEIO_GetDuration)>;
  b.AEIO_GetTime = kDefaultHandlingStub<decltype(b.AEIO_GetTime)>;
  b.AEIO_GetSound = Zarn_GetSound;
  b.AEIO_InqNextFrameTime = kDefaultHandlingStub<decltype(b.AEIO_InqNextFrameTime)>;
  b.AEIO_SeqOptionsDlg = Zarn_SeqOptionsDlg;
  b.AEIO_CloseSourceFiles = Zarn_CloseSourceFiles;
  b.AEIO_CountUserData = Zarn_CountUserData;
  b.AEIO_GetUserData = Zarn_GetUserData;
  b.AEIO_VerifyFileImportable = Zarn_VerifyFileImportable;
}
