#include "tools/footage_facts.h"

#include <cmath>

FrameSize FrameSizeFor(const CommandLine& command_line, const standin::Told& told) {
  if (auto size = command_line.Get("size")) return ParseSize(*size);
  if (!told.dimensions) {
    throw ToolError(command_line.file() + " has no picture; give --size WxH for black frames");
  }
  return FrameSize{told.dimensions->first, told.dimensions->second};
}

namespace {

bool HasSoundRate(const standin::Told& told) {
  return told.sound_rate && *told.sound_rate >= 1.0 && *told.sound_rate <= 1e7;
}

}  // namespace

int SoundRateOf(const standin::Told& told, const std::string& file) {
  if (!HasSoundRate(told)) throw ToolError(file + " has no sound");
  return static_cast<int>(std::lround(*told.sound_rate));
}

int SoundRateOr(const standin::Told& told, int otherwise) {
  return HasSoundRate(told) ? static_cast<int>(std::lround(*told.sound_rate)) : otherwise;
}
