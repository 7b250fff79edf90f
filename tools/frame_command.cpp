// zarn-host frame: one picture per requested time, in order, as the host
// would ask for them.
#include <cstdio>
#include <filesystem>

#include "tools/commands.h"
#include "tools/footage_facts.h"
#include "tools/media_writers.h"

namespace {

constexpr const char* kHelp =
    "usage: zarn-host frame FILE --at V/S[,V/S...] --out PATH [--size WxH]\n"
    "                       [--depth 8|16] [--format png|argb] [--plugin PATH]\n"
    "Draws the frame at each time, in the order given, into a frame buffer of the\n"
    "picture's size (or --size) and writes it as PNG or as the raw ARGB frame\n"
    "buffer (width x height x 4 bytes, top row first). With --depth 16 the frame\n"
    "buffers are deep: argb is then width x height x 8 bytes (A, R, G, B, each a\n"
    "little-endian 16-bit value, 0..32768) and PNG is 16-bit. With several times\n"
    "PATH is a folder and the files are frame-0000.EXT, frame-0001.EXT, ...\n";

std::vector<uint8_t> LittleEndianBytes(const std::vector<uint16_t>& values) {
  std::vector<uint8_t> bytes;
  bytes.reserve(values.size() * 2);
  for (const uint16_t v : values) bytes.insert(bytes.end(), {uint8_t(v & 0xFF), uint8_t(v >> 8)});
  return bytes;
}

}  // namespace

int RunFrame(const Arguments& args) {
  const CommandLine command_line(args, {"at", "size", "depth", "out", "format"}, true);
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const std::vector<A_Time> times = ParseTimes(command_line.Require("at"));
  const std::string out = command_line.Require("out");
  const std::string format = command_line.Get("format").value_or("png");
  if (format != "png" && format != "argb") throw UsageError("--format must be png or argb");
  const std::string depth = command_line.Get("depth").value_or("8");
  if (depth != "8" && depth != "16") throw UsageError("--depth must be 8 or 16");
  const bool deep = depth == "16";
  if (command_line.Get("size")) ParseSize(*command_line.Get("size"));  // usage errors first

  ToolSession session(ModulePathFor(command_line));
  session.Import(command_line.file());
  const FrameSize size = FrameSizeFor(command_line, session.told());
  if (times.size() > 1) std::filesystem::create_directories(out);

  for (size_t i = 0; i < times.size(); ++i) {
    standin::World world(size.width, size.height, 0,
                         deep ? standin::Depth::k16Bit : standin::Depth::k8Bit);
    const A_Err result = session.host().DrawFrame(session.spec(), times[i], world);
    if (result != A_Err_NONE) {
      throw PluginError(
          "frame at " + std::to_string(times[i].value) + "/" + std::to_string(times[i].scale),
          result);
    }
    std::string path = out;
    if (times.size() > 1) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%04zu.%s", i, format.c_str());
      path = (std::filesystem::path(out) / name).string();
    }
    if (deep) {
      const std::vector<uint16_t> values = world.Pixels16();
      if (format == "png") {
        WritePng16(path, values.data(), size.width, size.height);
      } else {
        const std::vector<uint8_t> bytes = LittleEndianBytes(values);
        WriteRaw(path, bytes.data(), bytes.size());
      }
    } else {
      const std::vector<uint8_t> pixels = world.Pixels();
      if (format == "png") {
        WritePng(path, pixels.data(), size.width, size.height, size.width * 4);
      } else {
        WriteRaw(path, pixels.data(), pixels.size());
      }
    }
  }
  return 0;
}
