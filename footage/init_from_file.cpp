// Import: a new options record, the media opened into it, the record attached
// to the in-spec, then the footage described to the host. An import that
// fails before the record is attached leaves nothing behind.
#include <string>

#include "diag/trace_log.h"
#include "footage/describe_footage.h"
#include "footage/flattened_block.h"
#include "footage/new_record_handle.h"
#include "footage/open_media.h"
#include "host_abi/callback_edge.h"
#include "host_abi/callbacks.h"
#include "host_abi/suite_cache.h"
#include "platform/host_path.h"

namespace {

A_Err InitFromFile(AEIO_BasicData* basic_data, const A_UTF16Char* file_path, AEIO_InSpecH spec) {
  SuiteCache suites(BasicSuiteOf(basic_data));
  // A path the project's block cannot hold is refused now, with the error
  // saving would give, rather than when the project is saved.
  const std::string path = NarrowPathFromHost(file_path);
  if (!PathFitsBlock(path.size())) {
    TraceLine() << "import refused: the path is longer than a project can keep";
    return A_Err_PARAMETER;
  }
  NewRecordHandle options(suites.MemorySuite());

  A_Err err = options.Create("Zarn_Importer optionsH");
  if (err == A_Err_NONE) err = options.SetPath(path);
  if (err == A_Err_NONE) err = OpenMedia(basic_data, options.record(), options.record().path);
  // Neither a picture nor a sound to give (subtitles or attachments only, a
  // picture stream that is not footage): no empty item. A project saved
  // with one still reopens; only import refuses it.
  if (err == A_Err_NONE && options.record().video_open != 1 && options.record().has_audio != 1) {
    TraceLine() << "import refused: no picture or sound stream can be used";
    err = A_Err_STRUCT;
  }
  if (err == A_Err_NONE) {
    const AEGP_IOInSuite4& io = *suites.IOInSuite();
    void* previous = nullptr;
    err = io.AEGP_SetInSpecOptionsHandle(spec, options.handle(), &previous);
    if (err == A_Err_NONE) {
      // Attached: the host owns the record from here on, also when a setter fails.
      options.HandedOver();
      err = DescribeFootage(io, spec, options.record());
      // Version 6 only where there is a timecode to tell.
      if (err == A_Err_NONE && options.record().has_start_time == 1)
        err = DescribeStartTime(suites.IOInSuiteWithStartTime(), spec, options.record());
    }
  }
  return FirstError(err, options.Finish());
}

}  // namespace

A_Err Zarn_InitInSpecFromFile(AEIO_BasicData* basic_dataP, const A_UTF16Char* file_pathZ,
                              AEIO_InSpecH specH) {
  return CallbackEdge([&] { return InitFromFile(basic_dataP, file_pathZ, specH); });
}
