// The call log and the per-operation call counts.
#include "host/host_state.h"

namespace standin {

const char* OpName(Op op) {
  static constexpr const char* kNames[] = {
      "AcquireSuite",
      "ReleaseSuite",
      "RegisterDeathHook",
      "RegisterIO",
      "RegisterWithAEGP",
      "AnsiStrcpy",
      "NewMemHandle",
      "FreeMemHandle",
      "LockMemHandle",
      "UnlockMemHandle",
      "GetInSpecOptionsHandle",
      "SetInSpecOptionsHandle",
      "SetInSpecSize",
      "SetInSpecDuration",
      "SetInSpecDepth",
      "SetInSpecDimensions",
      "SetInSpecNativeFPS",
      "SetInSpecAlphaLabel",
      "SetInSpecInterlaceLabel",
      "SetInSpecSoundRate",
      "SetInSpecSoundEncoding",
      "SetInSpecSoundSampleSize",
      "SetInSpecSoundChannels",
      "Fill",
      "GetMemHandleSize",
      "SetInSpecHSF",
      "Fill16",
      "SetInSpecNativeStartTime",
      "SetInSpecNativeDisplayDropFrame",
  };
  static_assert(std::size(kNames) == kOpCount, "one name per Op");
  const auto index = static_cast<size_t>(op);
  return index < kOpCount ? kNames[index] : "?";
}

A_Err Host::State::Log(Op op, std::string text, A_Err result) {
  if (keep_calls) host->calls_.push_back(Call{op, std::move(text), result});
  return result;
}

std::vector<Op> Host::CallOps() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::vector<Op> ops;
  ops.reserve(calls_.size());
  for (const Call& call : calls_) ops.push_back(call.op);
  return ops;
}

void Host::KeepCallLog(bool keep) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->keep_calls = keep;
}

int Host::CountOf(Op op) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->counts.at(static_cast<size_t>(op));
}

}  // namespace standin
