#include "platform/environment.h"

#include <cstdlib>

std::optional<uint64_t> EnvironmentCount(const char* name, uint64_t largest) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text < '0' || *text > '9') return std::nullopt;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (*end != '\0' || value > largest) return std::nullopt;
  return value;
}
