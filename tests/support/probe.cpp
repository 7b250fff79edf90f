#include "tests/support/probe.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace zarn_test {
namespace {

// "3.021000" seconds (ffprobe prints microseconds exactly) to microseconds.
std::optional<int64_t> Microseconds(const std::string& text) {
  const size_t dot = text.find('.');
  if (text.empty() || text == "N/A") return std::nullopt;
  std::string whole = text.substr(0, dot);
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  fraction.resize(6, '0');
  return std::stoll(whole) * 1000000 + std::stoll(fraction.substr(0, 6));
}

std::optional<int64_t> Integer(const std::string& text) {
  if (text.empty() || text == "N/A") return std::nullopt;
  return std::stoll(text);
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// ffprobe's "flat" output: one key="value" per line.
std::map<std::string, std::string> RunFlat(const std::string& path, bool* ok) {
  const std::string command =
      "ffprobe -v quiet -of flat -show_entries "
      "format=duration,bit_rate:stream=index,codec_type,codec_name,width,height,r_frame_rate,"
      "sample_rate,channels,start_pts:stream_disposition=attached_pic " +
      ShellQuoted(path);
  std::map<std::string, std::string> values;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  *ok = false;
  if (!pipe) return values;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    std::string text(line);
    const size_t eq = text.find('=');
    if (eq == std::string::npos) continue;
    std::string value = text.substr(eq + 1);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    values[text.substr(0, eq)] = value;
  }
  *ok = pclose(pipe.release()) == 0;
  return values;
}

}  // namespace

const ProbeStream* Probe::First(const std::string& codec_type) const {
  for (const ProbeStream& stream : streams) {
    if (stream.codec_type == codec_type && !(codec_type == "video" && stream.attached_pic))
      return &stream;
  }
  return nullptr;
}

Probe ProbeFile(const std::string& path) {
  Probe probe;
  const std::map<std::string, std::string> values = RunFlat(path, &probe.ok);
  if (!probe.ok) return probe;
  auto get = [&](const std::string& key) {
    auto it = values.find(key);
    return it == values.end() ? std::string() : it->second;
  };
  probe.duration_us = Microseconds(get("format.duration"));
  probe.bit_rate = Integer(get("format.bit_rate"));
  for (int i = 0; values.count("streams.stream." + std::to_string(i) + ".index") != 0; ++i) {
    const std::string prefix = "streams.stream." + std::to_string(i) + ".";
    ProbeStream stream;
    stream.index = static_cast<int>(Integer(get(prefix + "index")).value_or(-1));
    stream.codec_type = get(prefix + "codec_type");
    stream.codec_name = get(prefix + "codec_name");
    stream.attached_pic = get(prefix + "disposition.attached_pic") == "1";
    stream.width = static_cast<int>(Integer(get(prefix + "width")).value_or(0));
    stream.height = static_cast<int>(Integer(get(prefix + "height")).value_or(0));
    stream.sample_rate = static_cast<int>(Integer(get(prefix + "sample_rate")).value_or(0));
    stream.channels = static_cast<int>(Integer(get(prefix + "channels")).value_or(0));
    stream.start_pts = Integer(get(prefix + "start_pts"));
    const std::string rate = get(prefix + "r_frame_rate");
    if (const size_t slash = rate.find('/'); slash != std::string::npos) {
      stream.rate_num = std::stoi(rate.substr(0, slash));
      stream.rate_den = std::stoi(rate.substr(slash + 1));
    }
    probe.streams.push_back(stream);
  }
  return probe;
}

}  // namespace zarn_test
