#include "footage/flattened_block.h"

#include <cstring>

void WritePathToBlock(char* block, std::string_view path) {
  std::memcpy(block, path.data(), path.size());
  block[path.size()] = '\0';
}

std::optional<std::string_view> PathInBlock(const char* block, size_t size) {
  const void* end = std::memchr(block, 0, size < kFlattenedBlockSize ? size : kFlattenedBlockSize);
  if (end == nullptr) return std::nullopt;
  return std::string_view(block, static_cast<size_t>(static_cast<const char*>(end) - block));
}
