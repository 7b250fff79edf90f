// zarn-host info FILE: one JSON object with what the host was told.
#include <cstdio>

#include "tools/cli_args.h"
#include "tools/commands.h"
#include "tools/describe_json.h"
#include "tools/tool_session.h"

namespace {

constexpr const char* kHelp =
    "usage: zarn-host info FILE [--plugin PATH]\n"
    "Imports FILE and prints one JSON object with what the plug-in told the host:\n"
    "result, size, duration {value, scale}, depth, width, height, fps {fixed, value},\n"
    "alpha_label and interlace_label (hex bytes), pixel_aspect {num, den}, sound {rate,\n"
    "encoding, sample_size, channels}, sound_tracks (the rows the options call\n"
    "offers: 0 \"No sound\", then each track) and sound_track (the one in use),\n"
    "and info (the three information lines). Values not told are absent.\n";

}  // namespace

std::string ModulePathFor(const CommandLine& command_line) {
  return command_line.plugin().empty() ? DefaultModulePath() : command_line.plugin();
}

int RunInfo(const Arguments& args) {
  const CommandLine command_line(args, {}, true);
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  ToolSession session(ModulePathFor(command_line));
  const A_Err result = session.Import(command_line.file(), /*allow_failure=*/true);
  std::printf("%s\n", DescribeJson(session, result).c_str());
  if (result != A_Err_NONE) throw PluginError("import of " + command_line.file(), result);
  return 0;
}
