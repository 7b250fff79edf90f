// The host's side of the registered callbacks: builds the arguments a host
// passes and checks what a strict host would check afterwards.
#include "host/host_state.h"

namespace standin {
namespace {

// Each call gets basic data of its own, so callbacks running at once on
// different threads share nothing of the host's.
template <typename Fn, typename... Args>
A_Err CallBack(Host& host, const char* name, Fn fn, Args... args) {
  if (fn == nullptr) {
    host.AddProblem(std::string("the plug-in registered no ") + name);
    return kHostProblem;
  }
  AEIO_BasicData data;
  {
    std::lock_guard<std::mutex> lock(host.state().mutex);
    data = host.state().MakeBasicData(false);
  }
  try {
    return fn(&data, args...);
  } catch (...) {
    host.AddProblem(std::string("an exception escaped ") + name);
    return kHostProblem;
  }
}

}  // namespace

AEIO_InSpecH Host::Import(const std::string& utf8_path, A_Err* result) {
  AEIO_InSpecH spec = NewInSpec();
  std::vector<A_UTF16Char> path = ToUtf16(utf8_path);
  A_Err err = CallBack(*this, "AEIO_InitInSpecFromFile", callbacks().AEIO_InitInSpecFromFile,
                       static_cast<const A_UTF16Char*>(path.data()), spec);
  if (result) *result = err;
  return spec;
}

A_Err Host::DrawFrame(AEIO_InSpecH spec, A_Time time, World& world) {
  AEIO_DrawSparseFramePB pb{};
  pb.qual = 1;  // high
  pb.rs = AEIO_RationalScale{{1, 1}, {1, 1}};
  pb.tr = time;
  pb.duration = A_Time{0, time.scale ? time.scale : 1};
  // An empty required region asks for the whole frame.
  return DrawFrame(spec, pb, world);
}

A_Err Host::DrawFrame(AEIO_InSpecH spec, const AEIO_DrawSparseFramePB& pb, World& world,
                      AEIO_DrawingFlags* flags) {
  AEIO_DrawingFlags own_flags = 0;
  const bool intact_before = world.GuardsIntact();
  // A deep world is for a module that registered it can draw one.
  const bool deep_unregistered =
      world.deep() && (registration_.module_info.flags & AEIO_MFlag_CAN_DRAW_DEEP) == 0;
  const std::vector<uint8_t> before = deep_unregistered ? world.Pixels() : std::vector<uint8_t>{};
  A_Err err = CallBack(*this, "AEIO_DrawSparseFrame", callbacks().AEIO_DrawSparseFrame, spec, &pb,
                       world.get(), flags ? flags : &own_flags);
  if (intact_before && !world.GuardsIntact()) {
    AddProblem("AEIO_DrawSparseFrame wrote outside the frame buffer");
  }
  if (deep_unregistered && world.Pixels() != before) {
    AddProblem("AEIO_DrawSparseFrame wrote a deep world without registering CAN_DRAW_DEEP");
  }
  return err;
}

A_Err Host::GetSound(AEIO_InSpecH spec, A_Time start, A_u_long start_sample, A_u_long num_samples,
                     void* buffer) {
  // The duration in the footage's own rate where the plug-in told it.
  A_Time duration{0, 1};
  const Told& told = TellsFor(spec);
  if (told.sound_rate && *told.sound_rate >= 1 && *told.sound_rate < 4294967296.0 &&
      num_samples <= 0x7FFFFFFF) {
    duration = A_Time{static_cast<A_long>(num_samples), static_cast<A_u_long>(*told.sound_rate)};
  }
  return CallBack(*this, "AEIO_GetSound", callbacks().AEIO_GetSound, spec, AEIO_SndQuality{1},
                  static_cast<const AEIO_InterruptFuncs*>(nullptr),
                  static_cast<const A_Time*>(&start), static_cast<const A_Time*>(&duration),
                  start_sample, num_samples, buffer);
}

A_Err Host::Flatten(AEIO_InSpecH spec, AEIO_Handle* flat) {
  return CallBack(*this, "AEIO_FlattenOptions", callbacks().AEIO_FlattenOptions, spec, flat);
}

A_Err Host::Inflate(AEIO_InSpecH spec, AEIO_Handle flat) {
  return CallBack(*this, "AEIO_InflateOptions", callbacks().AEIO_InflateOptions, spec, flat);
}

A_Err Host::Dispose(AEIO_InSpecH spec) {
  return CallBack(*this, "AEIO_DisposeInSpec", callbacks().AEIO_DisposeInSpec, spec);
}

A_Err Host::GetInfo(AEIO_InSpecH spec, AEIO_Verbiage* verbiage) {
  return CallBack(*this, "AEIO_GetInSpecInfo", callbacks().AEIO_GetInSpecInfo, spec, verbiage);
}

A_Err Host::OptionsDialog(AEIO_InSpecH spec, A_Boolean* user_interacted) {
  return CallBack(*this, "AEIO_SeqOptionsDlg", callbacks().AEIO_SeqOptionsDlg, spec,
                  user_interacted);
}

}  // namespace standin
