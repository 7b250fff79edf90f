// The demo's sample clip, made in-process with FFmpeg's encoders: a few
// seconds of moving colour pictures (H.264 when the build has it, else
// MPEG-4) with stereo AAC tones, in Matroska.
#pragma once

#include <string>

struct DemoClipShape {
  int width = 640;
  int height = 360;
  int fps = 25;
  int seconds = 4;
  int sample_rate = 48000;
};

// Throws ToolError.
void MakeDemoClip(const std::string& path, const DemoClipShape& shape = {});
