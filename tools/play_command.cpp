// zarn-host play: every frame in playing order, timed.
#include <chrono>
#include <cstdio>

#include "tools/commands.h"
#include "tools/footage_facts.h"
#include "tools/json_writer.h"

extern "C" {
#include <libavutil/rational.h>
}

namespace {

constexpr const char* kHelp =
    "usage: zarn-host play FILE [--size WxH] [--frames N] [--plugin PATH]\n"
    "Draws every frame in playing order (the first N with --frames) and prints\n"
    "JSON with frames, seconds and frames per second.\n";

}  // namespace

int RunPlay(const Arguments& args) {
  const CommandLine command_line(args, {"size", "frames"}, true);
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const auto frames_text = command_line.Get("frames");
  A_u_long frames = frames_text ? ParseCount(*frames_text, "--frames") : 0;

  ToolSession session(ModulePathFor(command_line));
  session.Import(command_line.file());
  const standin::Told& told = session.told();
  const FrameSize size = FrameSizeFor(command_line, told);
  if (!told.native_fps || *told.native_fps <= 0) {
    throw ToolError(command_line.file() + " has no frame rate");
  }
  // The host knows the rate only as 16.16 fixed point: play at the nearest
  // small rational, so 29.97 plays as 30000/1001.
  const AVRational rate = av_d2q(*told.native_fps / 65536.0, 1 << 16);
  if (!frames_text && told.duration && told.duration->scale != 0) {
    frames = static_cast<A_u_long>(static_cast<int64_t>(told.duration->value) * rate.num /
                                   (static_cast<int64_t>(told.duration->scale) * rate.den));
  }

  standin::World world(size.width, size.height);
  const auto begin = std::chrono::steady_clock::now();
  for (A_u_long i = 0; i < frames; ++i) {
    const A_Time at{static_cast<A_long>(static_cast<int64_t>(i) * rate.den),
                    static_cast<A_u_long>(rate.num)};
    const A_Err result = session.host().DrawFrame(session.spec(), at, world);
    if (result != A_Err_NONE) throw PluginError("frame " + std::to_string(i), result);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  JsonWriter json;
  json.BeginObject()
      .Int("frames", frames)
      .Number("seconds", seconds)
      .Number("fps", seconds > 0 ? frames / seconds : 0.0)
      .EndObject();
  std::printf("%s\n", json.text().c_str());
  return 0;
}
