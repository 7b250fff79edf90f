// zarn-host play: every frame in playing order (or last to first), timed;
// with --sound, after each frame the sound that covers it, as the host
// previews a clip.
#include <chrono>
#include <cstdio>
#include <vector>

#include "tools/commands.h"
#include "tools/footage_facts.h"
#include "tools/json_writer.h"
#include "tools/sound_track_choice.h"

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/rational.h>
}

namespace {

constexpr const char* kHelp =
    "usage: zarn-host play FILE [--size WxH] [--frames N] [--sound] [--reverse]\n"
    "                      [--sound-track N] [--plugin PATH]\n"
    "Draws every frame in playing order (the first N with --frames; last to first\n"
    "with --reverse) and prints JSON with frames, seconds and frames per second.\n"
    "With --sound, each frame is followed by a request for the sound that covers\n"
    "its duration, as the host previews a clip. --sound-track N first chooses\n"
    "sound track N (0: none) through the options call.\n";

// The first footage sample of frame `i` at `rate` frames per second:
// round(i / fps * sound_rate).
int64_t FirstSampleOf(int64_t i, AVRational rate, int sound_rate) {
  return av_rescale_rnd(i, int64_t{rate.den} * sound_rate, rate.num, AV_ROUND_NEAR_INF);
}

}  // namespace

int RunPlay(const Arguments& args) {
  const CommandLine command_line(args, {"size", "frames", "sound-track"}, true,
                                 {"sound", "reverse"});
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const auto frames_text = command_line.Get("frames");
  A_u_long frames = frames_text ? ParseCount(*frames_text, "--frames") : 0;

  ToolSession session(ModulePathFor(command_line));
  session.Import(command_line.file());
  ApplySoundTrackOption(session, command_line);
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
  const bool with_sound = command_line.Has("sound") && told.sound_rate.has_value();
  const int sound_rate = with_sound ? SoundRateOf(told, command_line.file()) : 0;
  std::vector<float> sound;

  standin::World world(size.width, size.height);
  const auto begin = std::chrono::steady_clock::now();
  for (A_u_long n = 0; n < frames; ++n) {
    const int64_t i = command_line.Has("reverse") ? frames - 1 - n : n;
    const A_Time at{static_cast<A_long>(i * rate.den), static_cast<A_u_long>(rate.num)};
    const A_Err result = session.host().DrawFrame(session.spec(), at, world);
    if (result != A_Err_NONE) throw PluginError("frame " + std::to_string(i), result);
    if (!with_sound) continue;
    const int64_t first = FirstSampleOf(i, rate, sound_rate);
    const auto count = static_cast<A_u_long>(FirstSampleOf(i + 1, rate, sound_rate) - first);
    sound.resize(size_t{count} * 2);
    const A_Err sound_result = session.host().GetSound(
        session.spec(), A_Time{static_cast<A_long>(first), static_cast<A_u_long>(sound_rate)},
        static_cast<A_u_long>(first), count, sound.data());
    if (sound_result != A_Err_NONE) {
      throw PluginError("sound of frame " + std::to_string(i), sound_result);
    }
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
