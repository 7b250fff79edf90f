// Output files of zarn-host, written with FFmpeg's own encoders and muxers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// An 8-bit ARGB picture (the host's byte order), rows `stride` bytes apart,
// as PNG. Throws ToolError.
void WritePng(const std::string& path, const uint8_t* argb, int width, int height, int stride);

// A 16-bit ARGB picture in the host's levels (0..32768), packed rows, as a
// 16-bit PNG. Throws ToolError.
void WritePng16(const std::string& path, const uint16_t* argb, int width, int height);

// Interleaved float stereo at `rate` Hz as a 32-bit float WAV. Throws ToolError.
void WriteWav(const std::string& path, const float* samples, size_t sample_frames, int rate);

// Raw bytes, as they are. Throws ToolError.
void WriteRaw(const std::string& path, const void* data, size_t size);
