#include "tools/cli_args.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace {

bool ParseInteger(const std::string& text, long long min, long long max, long long* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < min || value > max) return false;
  *out = value;
  return true;
}

}  // namespace

A_Time ParseTime(const std::string& text) {
  const size_t slash = text.find('/');
  long long value = 0;
  long long scale = 0;
  if (slash == std::string::npos ||
      !ParseInteger(text.substr(0, slash), std::numeric_limits<A_long>::min(),
                    std::numeric_limits<A_long>::max(), &value) ||
      !ParseInteger(text.substr(slash + 1), 1, std::numeric_limits<A_u_long>::max(), &scale)) {
    throw UsageError("bad time \"" + text + "\": expected V/S, e.g. 1001/30000");
  }
  return A_Time{static_cast<A_long>(value), static_cast<A_u_long>(scale)};
}

std::vector<A_Time> ParseTimes(const std::string& text) {
  std::vector<A_Time> times;
  size_t begin = 0;
  while (true) {
    const size_t comma = text.find(',', begin);
    times.push_back(ParseTime(text.substr(begin, comma - begin)));
    if (comma == std::string::npos) break;
    begin = comma + 1;
  }
  return times;
}

FrameSize ParseSize(const std::string& text) {
  const size_t x = text.find('x');
  long long width = 0;
  long long height = 0;
  constexpr long long kMaxSide = 16384;
  if (x == std::string::npos || !ParseInteger(text.substr(0, x), 1, kMaxSide, &width) ||
      !ParseInteger(text.substr(x + 1), 1, kMaxSide, &height)) {
    throw UsageError("bad size \"" + text + "\": expected WxH, e.g. 960x540");
  }
  return FrameSize{static_cast<A_long>(width), static_cast<A_long>(height)};
}

A_u_long ParseCount(const std::string& text, const char* what) {
  long long value = 0;
  if (!ParseInteger(text, 0, std::numeric_limits<A_u_long>::max(), &value)) {
    throw UsageError(std::string("bad ") + what + " \"" + text + "\"");
  }
  return static_cast<A_u_long>(value);
}

CommandLine::CommandLine(const std::vector<std::string>& args,
                         const std::vector<std::string>& known, bool wants_file,
                         const std::vector<std::string>& flags) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      help_ = true;
      return;
    }
    if (arg.rfind("--", 0) == 0) {
      const std::string name = arg.substr(2);
      if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
        if (!flags_.insert(name).second) throw UsageError("option " + arg + " given twice");
        continue;
      }
      if (name != "plugin" && std::find(known.begin(), known.end(), name) == known.end()) {
        throw UsageError("unknown option " + arg);
      }
      if (i + 1 >= args.size()) throw UsageError("option " + arg + " needs a value");
      const std::string& value = args[++i];
      if (name == "plugin") {
        plugin_ = value;
      } else if (!options_.emplace(name, value).second) {
        throw UsageError("option " + arg + " given twice");
      }
    } else if (wants_file && file_.empty()) {
      file_ = arg;
    } else {
      throw UsageError("unexpected argument \"" + arg + "\"");
    }
  }
  if (wants_file && file_.empty()) throw UsageError("missing FILE");
}

std::optional<std::string> CommandLine::Get(const std::string& name) const {
  const auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

std::string CommandLine::Require(const std::string& name) const {
  auto value = Get(name);
  if (!value) throw UsageError("missing --" + name);
  return *value;
}
