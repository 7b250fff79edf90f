#include "footage/flattened_block.h"

#include <cstdint>
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

namespace {

constexpr char kTrackMagic[4] = {'Z', 'S', 'N', 'D'};
constexpr uint8_t kTrackVersion = 1;

void PutLittleEndian(char* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
uint32_t GetLittleEndian(const char* at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(at[i])} << (8 * i);
  return value;
}

}  // namespace

bool WriteSoundTrackToBlock(char* block, size_t path_length, const SoundTrackChoice& choice) {
  const size_t at = path_length + 1;
  if (at + kSoundTrackRecordSize > kFlattenedBlockSize) return false;
  char* record = block + at;
  std::memcpy(record, kTrackMagic, sizeof kTrackMagic);
  record[4] = static_cast<char>(kTrackVersion);
  PutLittleEndian(record + 5, static_cast<uint32_t>(choice.stream_index));
  PutLittleEndian(record + 9, static_cast<uint32_t>(choice.codec_id));
  return true;
}

std::optional<SoundTrackChoice> SoundTrackInBlock(const char* block, size_t size,
                                                  size_t path_length) {
  const size_t end = size < kFlattenedBlockSize ? size : kFlattenedBlockSize;
  const size_t at = path_length + 1;
  if (at + kSoundTrackRecordSize > end) return std::nullopt;
  const char* record = block + at;
  if (std::memcmp(record, kTrackMagic, sizeof kTrackMagic) != 0 ||
      static_cast<uint8_t>(record[4]) != kTrackVersion) {
    return std::nullopt;
  }
  return SoundTrackChoice{static_cast<int32_t>(GetLittleEndian(record + 5)),
                          static_cast<int32_t>(GetLittleEndian(record + 9))};
}
