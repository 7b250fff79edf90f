// zarn-host: the stand-in host as a command-line tool. It loads the plug-in
// module by file name, registers it through its entry point and sends the
// requests of one command to one footage item, as the compositing host would.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tools/cli_args.h"
#include "tools/commands.h"
#include "tools/tool_session.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

constexpr const char* kUsage =
    "usage: zarn-host COMMAND [options]\n"
    "\n"
    "Imports a media file through the Zarn_Importer plug-in, as the compositing\n"
    "host would, and shows what the plug-in delivers. Times are exact rationals\n"
    "V/S (value/scale seconds).\n"
    "\n"
    "commands:\n"
    "  info FILE                          what the plug-in told the host, as JSON\n"
    "  options FILE [--sound-track N]    the options call (the sound track), then\n"
    "                                     what the host was told\n"
    "  frame FILE --at V/S[,V/S...] --out PATH [--size WxH] [--depth 8|16]\n"
    "                                     [--format png|argb]\n"
    "  sound FILE --start V/S --samples N --out PATH [--chunk M] [--format wav|f32]\n"
    "  play FILE [--size WxH] [--frames N] [--sound] [--reverse]\n"
    "                                     every frame in playing order, timed\n"
    "  session FILE --out DIR [--script PATH|-] [--format png|argb]\n"
    "                                     replay a script of frame and sound requests\n"
    "  many FILE... [--rounds N] [--close-sources]\n"
    "                                     many footage items: memory, open files, reopens\n"
    "  demo [--out DIR]                   make a sample clip and show what it gives\n"
    "\n"
    "sound, play and session take --sound-track N: sound track N (0: none) first.\n"
    "\n"
    "options for every command:\n"
    "  --plugin PATH   the plug-in module (default: Zarn_Importer.aex next to zarn-host)\n"
    "  --help          help on the tool or on a command\n"
    "\n"
    "set ZARN_HOST_FFMPEG_LOG=1 to see FFmpeg's own messages.\n"
    "exit status: 0 success, 1 the plug-in returned an error (its code is printed),\n"
    "2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // Errors are one line of the tool's own; FFmpeg's messages only on request.
  av_log_set_level(std::getenv("ZARN_HOST_FFMPEG_LOG") != nullptr ? AV_LOG_INFO : AV_LOG_QUIET);
  const std::string command = argv[1];
  const Arguments args(argv + 2, argv + argc);
  try {
    if (command == "--help" || command == "-h" || command == "help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (command == "info") return RunInfo(args);
    if (command == "options") return RunOptions(args);
    if (command == "frame") return RunFrame(args);
    if (command == "sound") return RunSound(args);
    if (command == "play") return RunPlay(args);
    if (command == "session") return RunSession(args);
    if (command == "many") return RunMany(args);
    if (command == "demo") return RunDemo(args);
    throw UsageError("unknown command \"" + command + "\"");
  } catch (const UsageError& error) {
    std::fprintf(stderr, "zarn-host: %s (zarn-host --help for usage)\n", error.what());
    return 2;
  } catch (const PluginError& error) {
    std::fprintf(stderr, "zarn-host: %s\n", error.what());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zarn-host: %s\n", error.what());
    return 1;
  }
}
