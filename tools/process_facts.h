// What zarn-host many measures of its own process: resident memory, the
// handles it holds on given files, and how many demuxers the module opened.
// Each is empty where the platform does not tell it here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Resident memory in MiB.
std::optional<double> ResidentMiB();

// Open handles on any of `paths` (counted through /proc/self/fd on Linux).
std::optional<int> OpenHandlesOn(const std::vector<std::string>& paths);

// Demuxers opened in the process so far (avformat_open_input calls, the
// module's among them), where zarn-host can stand in for that call.
std::optional<int64_t> DemuxersOpened();
