// The module's few settings come from the host's environment.
#pragma once

#include <cstdint>
#include <optional>

// The whole decimal number in the environment variable `name`, when it is
// one between 0 and `largest`; empty when unset, empty or anything else.
std::optional<uint64_t> EnvironmentCount(const char* name, uint64_t largest);
