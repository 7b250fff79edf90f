// Command-line parsing for zarn-host: options of the form --name value, the
// exact rationals V/S the host uses for times, and WxH sizes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "host_abi/host_api.h"

// A malformed command line: exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct FrameSize {
  A_long width = 0;
  A_long height = 0;
};

// "V/S" with V a signed 32-bit value and S a positive unsigned 32-bit scale.
A_Time ParseTime(const std::string& text);
// "V/S[,V/S...]".
std::vector<A_Time> ParseTimes(const std::string& text);
// "WxH", both positive.
FrameSize ParseSize(const std::string& text);
// A non-negative count that fits 32 bits unsigned.
A_u_long ParseCount(const std::string& text, const char* what);

// The arguments after the command name: one positional FILE (unless the
// command takes none), --name value options and --name flags, each allowed
// once.
class CommandLine {
 public:
  // `known` lists the option names the command accepts (without "--"),
  // `flags` the ones that take no value; --help and --plugin are always
  // accepted.
  CommandLine(const std::vector<std::string>& args, const std::vector<std::string>& known,
              bool wants_file, const std::vector<std::string>& flags = {});

  bool help() const { return help_; }
  const std::string& file() const { return file_; }
  std::optional<std::string> Get(const std::string& name) const;
  std::string Require(const std::string& name) const;
  bool Has(const std::string& flag) const { return flags_.count(flag) != 0; }
  const std::string& plugin() const { return plugin_; }

 private:
  bool help_ = false;
  std::string file_;
  std::string plugin_;
  std::map<std::string, std::string> options_;
  std::set<std::string> flags_;
};
