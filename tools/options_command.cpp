// zarn-host options FILE [--sound-track N]: Interpret Footage > More Options.
#include <cstdio>

#include "tools/cli_args.h"
#include "tools/commands.h"
#include "tools/describe_json.h"
#include "tools/sound_track_choice.h"
#include "tools/tool_session.h"

namespace {

constexpr const char* kHelp =
    "usage: zarn-host options FILE [--sound-track N] [--plugin PATH]\n"
    "Imports FILE and runs the plug-in's options call, as Interpret Footage > More\n"
    "Options does. With --sound-track N the stand-in user chooses sound track N\n"
    "(0: no sound; `info` lists them); without it the plug-in shows its dialog\n"
    "where it can (Windows) and changes nothing elsewhere. Then prints what the\n"
    "host was told, as `info` does, with user_interacted.\n";

}  // namespace

int RunOptions(const Arguments& args) {
  const CommandLine command_line(args, {"sound-track"}, true);
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  ToolSession session(ModulePathFor(command_line));
  session.Import(command_line.file());
  bool interacted = false;
  if (const auto number = command_line.Get("sound-track")) {
    interacted =
        ChooseSoundTrack(session, static_cast<A_long>(ParseCount(*number, "--sound-track")));
  } else {
    A_Boolean answer = 0;
    const A_Err result = session.host().OptionsDialog(session.spec(), &answer);
    if (result != A_Err_NONE) throw PluginError("options", result);
    interacted = answer != 0;
  }
  std::printf("%s\n", DescribeJson(session, A_Err_NONE, interacted).c_str());
  return 0;
}
