// In-specs (footage items) and the IO In suite: the options-handle slot and
// the setters through which the plug-in describes its footage.
#include <cstring>

#include "host/host_state.h"
#include "host/unused_entries.h"

namespace standin {

InSpecRecord* Host::State::FindSpec(const void* spec) {
  auto it = spec_index.find(spec);
  return it == spec_index.end() || !it->second->live ? nullptr : it->second;
}

std::string Host::State::SpecText(const void* spec) {
  auto it = spec_index.find(spec);
  return it == spec_index.end() ? "unknown spec" : "spec " + std::to_string(it->second->number);
}

namespace {

AEIO_InSpecH SpecHandle(InSpecRecord* record) {
  return reinterpret_cast<AEIO_InSpecH>(&record->master);
}

A_Err GetOptionsHandle(AEIO_InSpecH spec, void** out) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    const Op op = Op::GetInSpecOptionsHandle;
    std::string text = s.SpecText(spec);
    if (auto fault = s.Enter(op)) return s.Log(op, text, fault->err);
    InSpecRecord* record = s.FindSpec(spec);
    if (record == nullptr || out == nullptr) {
      s.Problem("AEGP_GetInSpecOptionsHandle on an unknown in-spec or without an out handle");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    *out = record->options;
    return s.Log(op, text, A_Err_NONE);
  });
}

A_Err SetOptionsHandle(AEIO_InSpecH spec, void* options, void** old_out) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    const Op op = Op::SetInSpecOptionsHandle;
    std::string text = s.SpecText(spec) + " " + s.HandleText(options);
    if (auto fault = s.Enter(op)) return s.Log(op, text, fault->err);
    InSpecRecord* record = s.FindSpec(spec);
    if (record == nullptr) {
      s.Problem("AEGP_SetInSpecOptionsHandle on an unknown in-spec");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    HandleRecord* handle = s.FindHandle(options);
    if (options != nullptr && (handle == nullptr || !handle->live)) {
      s.Problem("AEGP_SetInSpecOptionsHandle with an unknown or freed handle");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    if (old_out != nullptr) *old_out = record->options;
    record->options = options;
    return s.Log(op, text, A_Err_NONE);
  });
}

// One setter: logs, checks the in-spec, and records the value through `tell`
// (which answers false for a null or invalid argument).
template <typename Tell>
A_Err Setter(Op op, AEIO_InSpecH spec, const std::string& value, Tell&& tell) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    std::string text = s.SpecText(spec) + " " + value;
    if (auto fault = s.Enter(op)) return s.Log(op, text, fault->err);
    InSpecRecord* record = s.FindSpec(spec);
    if (record == nullptr) {
      s.Problem(std::string(OpName(op)) + " on an unknown in-spec");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    if (!tell(record->told)) {
      s.Problem(std::string(OpName(op)) + " with a null or invalid argument");
      return s.Log(op, text, A_Err_PARAMETER);
    }
    record->told.order.push_back(op);
    return s.Log(op, text, A_Err_NONE);
  });
}

template <typename T>
std::vector<uint8_t> RawBytes(const T* value) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(value);
  return std::vector<uint8_t>(bytes, bytes + sizeof(T));
}

A_Err SetNativeFPS(AEIO_InSpecH spec, A_Fixed fps) {
  return Setter(Op::SetInSpecNativeFPS, spec, std::to_string(fps), [&](Told& t) {
    t.native_fps = fps;
    return true;
  });
}

A_Err SetDepth(AEIO_InSpecH spec, A_short depth) {
  return Setter(Op::SetInSpecDepth, spec, std::to_string(depth), [&](Told& t) {
    t.depth = depth;
    return true;
  });
}

A_Err SetSize(AEIO_InSpecH spec, AEIO_FileSize size) {
  return Setter(Op::SetInSpecSize, spec, std::to_string(size), [&](Told& t) {
    t.size = size;
    return true;
  });
}

A_Err SetInterlaceLabel(AEIO_InSpecH spec, const FIEL_Label* label) {
  return Setter(Op::SetInSpecInterlaceLabel, spec, label ? "label" : "null", [&](Told& t) {
    if (label == nullptr) return false;
    t.interlace_label = RawBytes(label);
    return true;
  });
}

A_Err SetAlphaLabel(AEIO_InSpecH spec, const AEIO_AlphaLabel* label) {
  return Setter(Op::SetInSpecAlphaLabel, spec, label ? "label" : "null", [&](Told& t) {
    if (label == nullptr) return false;
    t.alpha_label = RawBytes(label);
    return true;
  });
}

A_Err SetDuration(AEIO_InSpecH spec, const A_Time* duration) {
  std::string text =
      duration ? std::to_string(duration->value) + "/" + std::to_string(duration->scale) : "null";
  return Setter(Op::SetInSpecDuration, spec, text, [&](Told& t) {
    if (duration == nullptr) return false;
    t.duration = *duration;
    return true;
  });
}

A_Err SetDimensions(AEIO_InSpecH spec, A_long width, A_long height) {
  return Setter(Op::SetInSpecDimensions, spec, std::to_string(width) + "x" + std::to_string(height),
                [&](Told& t) {
                  t.dimensions = std::make_pair(width, height);
                  return true;
                });
}

A_Err SetHSF(AEIO_InSpecH spec, const A_Ratio* hsf) {
  std::string text = hsf ? std::to_string(hsf->num) + "/" + std::to_string(hsf->den) : "null";
  return Setter(Op::SetInSpecHSF, spec, text, [&](Told& t) {
    if (hsf == nullptr || hsf->num <= 0 || hsf->den == 0) return false;  // no such pixel
    t.pixel_aspect = *hsf;
    return true;
  });
}

A_Err SetSoundRate(AEIO_InSpecH spec, A_FpLong rate) {
  return Setter(Op::SetInSpecSoundRate, spec, std::to_string(rate), [&](Told& t) {
    t.sound_rate = rate;
    return true;
  });
}

A_Err SetSoundEncoding(AEIO_InSpecH spec, AEIO_SndEncoding encoding) {
  return Setter(Op::SetInSpecSoundEncoding, spec, std::to_string(encoding), [&](Told& t) {
    t.sound_encoding = encoding;
    return true;
  });
}

A_Err SetSoundSampleSize(AEIO_InSpecH spec, AEIO_SndSampleSize size) {
  return Setter(Op::SetInSpecSoundSampleSize, spec, std::to_string(size), [&](Told& t) {
    t.sound_sample_size = size;
    return true;
  });
}

A_Err SetSoundChannels(AEIO_InSpecH spec, AEIO_SndChannels channels) {
  return Setter(Op::SetInSpecSoundChannels, spec, std::to_string(channels), [&](Told& t) {
    t.sound_channels = channels;
    return true;
  });
}

A_Err SetNativeStartTime(AEIO_InSpecH spec, const A_Time* start) {
  std::string text =
      start ? std::to_string(start->value) + "/" + std::to_string(start->scale) : "null";
  return Setter(Op::SetInSpecNativeStartTime, spec, text, [&](Told& t) {
    if (start == nullptr || start->scale == 0) return false;
    t.start_time = *start;
    return true;
  });
}

A_Err SetNativeDisplayDropFrame(AEIO_InSpecH spec, A_Boolean drop_frame) {
  return Setter(Op::SetInSpecNativeDisplayDropFrame, spec, std::to_string(drop_frame),
                [&](Told& t) {
                  t.drop_frame = drop_frame != 0;
                  return true;
                });
}

// Version 5's entries, at the same positions in both versions.
void SetVersion5Entries(AEGP_IOInSuite4& t) {
  t.AEGP_GetInSpecOptionsHandle = &GetOptionsHandle;
  t.AEGP_SetInSpecOptionsHandle = &SetOptionsHandle;
  t.AEGP_SetInSpecNativeFPS = &SetNativeFPS;
  t.AEGP_SetInSpecDepth = &SetDepth;
  t.AEGP_SetInSpecSize = &SetSize;
  t.AEGP_SetInSpecInterlaceLabel = &SetInterlaceLabel;
  t.AEGP_SetInSpecAlphaLabel = &SetAlphaLabel;
  t.AEGP_SetInSpecDuration = &SetDuration;
  t.AEGP_SetInSpecDimensions = &SetDimensions;
  t.AEGP_SetInSpecHSF = &SetHSF;
  t.AEGP_SetInSpecSoundRate = &SetSoundRate;
  t.AEGP_SetInSpecSoundEncoding = &SetSoundEncoding;
  t.AEGP_SetInSpecSoundSampleSize = &SetSoundSampleSize;
  t.AEGP_SetInSpecSoundChannels = &SetSoundChannels;
}

}  // namespace

const AEGP_IOInSuite4* IOInSuiteTable() {
  static const AEGP_IOInSuite4 table = [] {
    AEGP_IOInSuite4 t;
    FillWithUnused(&t, SuiteId::IOIn);
    SetVersion5Entries(t);
    return t;
  }();
  return &table;
}

const AEGP_IOInSuite5* IOInSuite6Table() {
  static const AEGP_IOInSuite5 table = [] {
    AEGP_IOInSuite5 t;
    FillWithUnused(&t, SuiteId::IOIn6);
    SetVersion5Entries(t.base);
    t.AEGP_SetInSpecNativeStartTime = &SetNativeStartTime;
    t.AEGP_SetInSpecNativeDisplayDropFrame = &SetNativeDisplayDropFrame;
    return t;
  }();
  return &table;
}

// ---- the host's own side

AEIO_InSpecH Host::NewInSpec() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  auto record = std::make_unique<InSpecRecord>();
  record->master = record.get();
  record->number = static_cast<int>(state_->specs.size()) + 1;
  InSpecRecord* raw = record.get();
  state_->specs.push_back(std::move(record));
  state_->spec_index[SpecHandle(raw)] = raw;
  return SpecHandle(raw);
}

void Host::DeleteInSpec(AEIO_InSpecH spec) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  InSpecRecord* record = state_->FindSpec(spec);
  if (record == nullptr) {
    state_->Problem("the host deleted an unknown in-spec");
    return;
  }
  record->live = false;
  record->master = nullptr;
}

AEGP_MemHandle Host::OptionsHandle(AEIO_InSpecH spec) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  InSpecRecord* record = state_->FindSpec(spec);
  return record ? static_cast<AEGP_MemHandle>(record->options) : nullptr;
}

void Host::SetOptionsHandle(AEIO_InSpecH spec, AEGP_MemHandle handle) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (InSpecRecord* record = state_->FindSpec(spec)) record->options = handle;
}

const Told& Host::TellsFor(AEIO_InSpecH spec) const {
  static const Told kNothing;
  std::lock_guard<std::mutex> lock(state_->mutex);
  auto it = state_->spec_index.find(spec);
  return it == state_->spec_index.end() ? kNothing : it->second->told;
}

}  // namespace standin
