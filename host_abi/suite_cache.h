// The per-call cache of host suites: each entry point and callback makes one
// at its start. A suite is acquired at its first request, the same table is
// handed out afterwards, and every acquired suite is released once when the
// cache goes out of scope, in a fixed order whatever the order of use.
#pragma once

#include <cstdint>

#include "host_abi/host_api.h"
#include "host_abi/sound_track_suite.h"

// Raised when the basic suite is missing or a suite cannot be acquired; the
// callback edge (shell/callback_edge.h) turns it into its result.
struct SuiteMissing {
  A_Err err = PF_Err_BAD_CALLBACK_PARAM;
};

class SuiteCache {
 public:
  // Throws SuiteMissing when `basic` is null.
  explicit SuiteCache(const SPBasicSuite* basic);
  SuiteCache(const SuiteCache&) = delete;
  SuiteCache& operator=(const SuiteCache&) = delete;
  ~SuiteCache();

  // Each throws SuiteMissing when the host answers an error or a null table.
  const AEGP_RegisterSuite5* RegisterSuite();
  const AEGP_UtilitySuite3* UtilitySuite();
  const PF_ANSICallbacksSuite1* ANSISuite();
  const AEGP_MemorySuite1* MemorySuite();
  const AEGP_IOInSuite4* IOInSuite();
  const PF_FillMatteSuite2* FillMatteSuite();
  // The IO In suite's version 6, for the start timecode: null, never a
  // throw, when the host has none.
  const AEGP_IOInSuite5* IOInSuiteWithStartTime();
  // The stand-in host's track choice (host_abi/sound_track_suite.h): null,
  // never a throw, when the host has none.
  const ZarnSoundTrackSuite1* SoundTrackSuite();

 private:
  const void* Acquire(int index);
  const void* TryAcquire(int index);

  const SPBasicSuite* basic_;
  const void* tables_[8] = {};
};
