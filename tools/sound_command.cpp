// zarn-host sound: a stretch of sound as one request, or as consecutive
// requests that each start where the previous one ended.
#include <algorithm>
#include <cstdio>
#include <limits>

#include "tools/commands.h"
#include "tools/footage_facts.h"
#include "tools/media_writers.h"
#include "tools/sound_track_choice.h"

namespace {

constexpr const char* kHelp =
    "usage: zarn-host sound FILE --start V/S --samples N --out PATH [--chunk M]\n"
    "                       [--format wav|f32] [--sound-track N] [--plugin PATH]\n"
    "Asks for N sample frames from the start time, as one request or as\n"
    "consecutive requests of M sample frames, and writes them as a float WAV or\n"
    "as raw interleaved float stereo (f32). Footage without sound gives silence\n"
    "(a WAV of it is written at 48000 Hz). --sound-track N first chooses sound\n"
    "track N (0: none) through the options call.\n";

// The rate a file of footage without sound is written at.
constexpr int kSilenceRate = 48000;

}  // namespace

int RunSound(const Arguments& args) {
  const CommandLine command_line(
      args, {"start", "samples", "chunk", "out", "format", "sound-track"}, true);
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const A_Time start = ParseTime(command_line.Require("start"));
  const A_u_long total = ParseCount(command_line.Require("samples"), "--samples");
  const auto chunk_text = command_line.Get("chunk");
  const A_u_long chunk = chunk_text ? ParseCount(*chunk_text, "--chunk") : total;
  const std::string out = command_line.Require("out");
  const std::string format = command_line.Get("format").value_or("wav");
  if (format != "wav" && format != "f32") throw UsageError("--format must be wav or f32");
  if (start.value < 0) throw UsageError("--start must not be negative");
  if (chunk_text && chunk == 0) throw UsageError("--chunk must be at least 1");
  if (total > std::numeric_limits<A_u_long>::max() / 8) throw UsageError("--samples too large");

  ToolSession session(ModulePathFor(command_line));
  session.Import(command_line.file());
  ApplySoundTrackOption(session, command_line);
  const int rate = SoundRateOr(session.told(), kSilenceRate);

  // The start's sample, rounded to the nearest; later chunks start on exact
  // sample times (value = sample index, scale = rate).
  const int64_t first_sample =
      (static_cast<int64_t>(start.value) * rate + start.scale / 2) / start.scale;
  if (first_sample + total > std::numeric_limits<A_long>::max()) {
    throw UsageError("the stretch ends too far out to be given as a host time");
  }
  std::vector<float> samples(static_cast<size_t>(total) * 2);
  for (A_u_long done = 0; done < total || (total == 0 && done == 0);) {
    const A_u_long count = std::min(chunk, total - done);
    const A_Time at =
        done == 0 ? start
                  : A_Time{static_cast<A_long>(first_sample + done), static_cast<A_u_long>(rate)};
    const A_Err result =
        session.host().GetSound(session.spec(), at, static_cast<A_u_long>(first_sample + done),
                                count, samples.data() + static_cast<size_t>(done) * 2);
    if (result != A_Err_NONE) {
      throw PluginError("sound at sample " + std::to_string(first_sample + done), result);
    }
    if (count == 0) break;
    done += count;
  }
  if (format == "wav") {
    WriteWav(out, samples.data(), total, rate);
  } else {
    WriteRaw(out, samples.data(), samples.size() * sizeof(float));
  }
  return 0;
}
