// zarn-host's commands. Each takes the arguments after its name and returns
// the exit status (0 success); errors are thrown as UsageError (status 2),
// PluginError or ToolError (status 1).
#pragma once

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

int RunInfo(const Arguments& args);
int RunOptions(const Arguments& args);
int RunFrame(const Arguments& args);
int RunSound(const Arguments& args);
int RunPlay(const Arguments& args);
int RunSession(const Arguments& args);
int RunMany(const Arguments& args);
int RunDemo(const Arguments& args);

// The module path a command uses: --plugin PATH or the default.
class CommandLine;
std::string ModulePathFor(const CommandLine& command_line);
