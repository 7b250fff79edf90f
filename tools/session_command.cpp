// zarn-host session: replays a script of frame and sound requests against
// one footage item, in order, as the host would interleave them.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/footage_facts.h"
#include "tools/json_writer.h"
#include "tools/media_writers.h"
#include "tools/sound_track_choice.h"

namespace {

constexpr const char* kHelp =
    "usage: zarn-host session FILE --out DIR [--script PATH|-] [--format png|argb]\n"
    "                         [--sound-track N] [--plugin PATH]\n"
    "Replays requests against one footage item, in order, one per line of the\n"
    "script (standard input when it is - or not given):\n"
    "  frame V/S [WxH]   the picture at V/S, at the picture's size or WxH\n"
    "  sound V/S N       N sample frames of sound from V/S\n"
    "  options [N]       the options call: sound track N (0: none) chosen by the\n"
    "                    stand-in user, or without N the plug-in's own dialog\n"
    "Blank lines and lines starting with # are ignored. Writes NNNN-frame.EXT and\n"
    "NNNN-sound.f32 (raw interleaved float stereo) into DIR, NNNN counting the\n"
    "requests from 0000, and prints one JSON line per request: n, kind, result, ms.\n"
    "--sound-track N first chooses sound track N (0: none) through the options call.\n";

struct Request {
  bool frame = true;
  bool options = false;
  std::optional<A_long> track;  // options: the stand-in user's choice
  A_Time at{};
  FrameSize size;        // frame: zero for the picture's own size
  A_u_long samples = 0;  // sound
};

// Every request of the script; a malformed line is a usage error naming it.
std::vector<Request> ParseScript(std::istream& in) {
  std::vector<Request> requests;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string kind, time, extra, more;
    words >> kind;
    if (kind.empty() || kind[0] == '#') continue;
    words >> time >> extra >> more;
    try {
      Request request;
      if (kind == "frame" && !time.empty() && more.empty()) {
        request.at = ParseTime(time);
        if (!extra.empty()) request.size = ParseSize(extra);
      } else if (kind == "sound" && !time.empty() && !extra.empty() && more.empty()) {
        request.frame = false;
        request.at = ParseTime(time);
        request.samples = ParseCount(extra, "sample count");
        if (request.samples > (1u << 28)) throw UsageError("sample count too large");
      } else if (kind == "options" && extra.empty()) {
        request.frame = false;
        request.options = true;
        if (!time.empty()) request.track = static_cast<A_long>(ParseCount(time, "track"));
      } else {
        throw UsageError("expected \"frame V/S [WxH]\", \"sound V/S N\" or \"options [N]\"");
      }
      requests.push_back(request);
    } catch (const UsageError& error) {
      throw UsageError("script line " + std::to_string(number) + ": " + error.what());
    }
  }
  return requests;
}

std::string OutputName(size_t n, const char* what) {
  char name[40];
  std::snprintf(name, sizeof name, "%04zu-%s", n, what);
  return name;
}

}  // namespace

int RunSession(const Arguments& args) {
  const CommandLine command_line(args, {"script", "out", "format", "sound-track"}, true);
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const std::filesystem::path out = command_line.Require("out");
  const std::string format = command_line.Get("format").value_or("png");
  if (format != "png" && format != "argb") throw UsageError("--format must be png or argb");
  const std::string script = command_line.Get("script").value_or("-");
  std::vector<Request> requests;
  if (script == "-") {
    requests = ParseScript(std::cin);
  } else {
    std::ifstream in(script);
    if (!in) throw UsageError("cannot read the script " + script);
    requests = ParseScript(in);
  }

  ToolSession session(ModulePathFor(command_line));
  session.Import(command_line.file());
  ApplySoundTrackOption(session, command_line);
  const standin::Told& told = session.told();
  std::filesystem::create_directories(out);

  A_Err first_error = A_Err_NONE;
  for (size_t n = 0; n < requests.size(); ++n) {
    const Request& request = requests[n];
    A_Err result = A_Err_NONE;
    double ms = 0;
    // Only the plug-in's part is timed, not the files written.
    const auto timed = [&ms](auto call) {
      const auto begin = std::chrono::steady_clock::now();
      const A_Err err = call();
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
               .count();
      return err;
    };
    std::optional<bool> interacted;
    if (request.options) {
      result = timed([&] {
        if (request.track) {
          try {
            interacted = ChooseSoundTrack(session, *request.track);
          } catch (const PluginError& error) {
            return error.code;
          }
          return A_Err{A_Err_NONE};
        }
        A_Boolean answer = 0;
        const A_Err err = session.host().OptionsDialog(session.spec(), &answer);
        interacted = answer != 0;
        return err;
      });
    } else if (request.frame) {
      FrameSize size = request.size;
      if (size.width == 0) {
        if (!told.dimensions) throw ToolError(command_line.file() + " has no picture; give WxH");
        size = FrameSize{told.dimensions->first, told.dimensions->second};
      }
      standin::World world(size.width, size.height);
      result = timed([&] { return session.host().DrawFrame(session.spec(), request.at, world); });
      const std::vector<uint8_t> pixels = world.Pixels();
      const std::string path = (out / OutputName(n, ("frame." + format).c_str())).string();
      if (format == "png") {
        WritePng(path, pixels.data(), size.width, size.height, size.width * 4);
      } else {
        WriteRaw(path, pixels.data(), pixels.size());
      }
    } else {
      // Footage without sound leaves the buffer as it is: silence.
      std::vector<float> sound(size_t{request.samples} * 2, 0.0f);
      const A_u_long start_sample =
          request.at.value > 0 ? static_cast<A_u_long>(int64_t{request.at.value} *
                                                       SoundRateOr(told, 0) / request.at.scale)
                               : 0;
      result = timed([&] {
        return session.host().GetSound(session.spec(), request.at, start_sample, request.samples,
                                       sound.data());
      });
      WriteRaw((out / OutputName(n, "sound.f32")).string(), sound.data(),
               sound.size() * sizeof(float));
    }
    if (first_error == A_Err_NONE) first_error = result;
    JsonWriter json;
    json.BeginObject()
        .Int("n", static_cast<int64_t>(n))
        .String("kind", request.options ? "options"
                        : request.frame ? "frame"
                                        : "sound")
        .Int("result", result)
        .Number("ms", ms);
    if (interacted) json.Bool("user_interacted", *interacted);
    json.EndObject();
    std::printf("%s\n", json.text().c_str());
  }
  if (first_error != A_Err_NONE) throw PluginError("a request failed", first_error);
  return 0;
}
