// What a command needs to know of the imported footage, from what the
// plug-in told the host.
#pragma once

#include "tools/cli_args.h"
#include "tools/tool_session.h"

// The frame size a command draws at: --size if given, else the picture's own.
FrameSize FrameSizeFor(const CommandLine& command_line, const standin::Told& told);

// The sound rate told, as whole Hz; throws ToolError for footage without sound.
int SoundRateOf(const standin::Told& told, const std::string& file);

// The sound rate told, or `otherwise` for footage that told none (its sound
// requests are answered with silence).
int SoundRateOr(const standin::Told& told, int otherwise);
