#include "shell/module_info.h"

#include <iterator>

#include "host_abi/suite_cache.h"

namespace {

constexpr const char* kExtensions[] = {"ept", "mkv", "flv", "mad"};

void SetExtension(AEIO_FileKind& kind, const char* letters) {
  kind.ext.pad = '.';
  for (int i = 0; i < 3; ++i) kind.ext.extension[i] = letters[i];
}

}  // namespace

A_Err FillModuleInfo(const SPBasicSuite* basic, AEIO_ModuleInfo* info) {
  SuiteCache suites(basic);
  if (!info) return A_Err_STRUCT;

  info->sig = kZarnSignature;
  suites.ANSISuite()->strcpy(info->name, kZarnPluginName);
  info->flags = AEIO_MFlag_INPUT | AEIO_MFlag_FILE | AEIO_MFlag_VIDEO | AEIO_MFlag_AUDIO |
                AEIO_MFlag_HSF_AWARE | AEIO_MFlag_CAN_DRAW_DEEP;
  info->max_width = 1920;
  info->max_height = 1080;
  info->num_filetypes = 1;
  info->num_extensions = static_cast<A_short>(std::size(kExtensions));
  info->num_clips = 0;

  // File types first, then extensions: the host reads them in that order.
  info->read_kinds[0].mac.type = kZarnSignature;
  info->read_kinds[0].mac.creator = AEIO_ANY_CREATOR;
  for (size_t i = 0; i < std::size(kExtensions); ++i) {
    SetExtension(info->read_kinds[1 + i], kExtensions[i]);
  }
  return A_Err_NONE;
}
