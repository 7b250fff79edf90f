#include "diag/trace_log.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/trace_path.h"

namespace {

// Constant-initialised and trivially destructible: usable from the first
// instruction of the module to the last, whatever the order of static
// construction and destruction. Null means lines are dropped.
std::atomic<std::FILE*> g_log{nullptr};

void ReplaceStream(std::FILE* next) {
  if (std::FILE* previous = g_log.exchange(next)) std::fclose(previous);
}

// Closes the file when the module is unloaded, so a host that loads the
// module again does not keep the old descriptor open. Later lines are dropped.
struct CloseAtUnload {
  ~CloseAtUnload() { ReplaceStream(nullptr); }
} close_at_unload;

thread_local bool t_quiet = false;

constexpr char kLineEnd[] = "\r\n";
constexpr size_t kLineEndLength = sizeof(kLineEnd) - 1;

}  // namespace

namespace TraceLog {

// Binary mode: the line ends are written as they are, CR LF on every platform.
void Open() { ReplaceStream(std::fopen(TraceLogPath(), "wb")); }

void Close() { ReplaceStream(nullptr); }

QuietThread::QuietThread() { t_quiet = true; }
QuietThread::~QuietThread() { t_quiet = false; }

}  // namespace TraceLog

TraceLine::~TraceLine() {
  std::FILE* log = g_log.load(std::memory_order_acquire);
  if (!log || t_quiet) return;
  std::memcpy(buffer_ + length_, kLineEnd, kLineEndLength);
  // One fwrite holds the stream's lock for the whole line, so concurrent
  // lines never interleave; the flush puts it in the file at once.
  std::fwrite(buffer_, 1, length_ + kLineEndLength, log);
  std::fflush(log);
}

// Text that does not fit is cut; room for the line end is always kept.
void TraceLine::Append(const char* text, size_t length) {
  size_t room = sizeof(buffer_) - kLineEndLength - length_;
  if (length > room) length = room;
  std::memcpy(buffer_ + length_, text, length);
  length_ += length;
}

TraceLine& TraceLine::operator<<(const char* text) {
  if (text) Append(text, std::strlen(text));
  return *this;
}

namespace {
// Plain decimal: "-" for negatives, no sign, fill or separators otherwise.
// Written by hand: the library's formatter brings exported unique symbols
// into the module.
size_t FormatDecimal(char (&digits)[24], bool negative, uint64_t magnitude) {
  char reversed[20];
  size_t count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  size_t length = 0;
  if (negative) digits[length++] = '-';
  while (count) digits[length++] = reversed[--count];
  return length;
}

size_t FormatDecimal(char (&digits)[24], int64_t value) {
  // The magnitude is taken in unsigned arithmetic so INT64_MIN has one.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return FormatDecimal(digits, value < 0, magnitude);
}
}  // namespace

TraceLine& TraceLine::operator<<(int32_t value) {
  char digits[24];
  Append(digits, FormatDecimal(digits, int64_t{value}));
  return *this;
}

TraceLine& TraceLine::operator<<(uint32_t value) {
  char digits[24];
  Append(digits, FormatDecimal(digits, false, value));
  return *this;
}

TraceLine& TraceLine::operator<<(int64_t value) {
  char digits[24];
  Append(digits, FormatDecimal(digits, value));
  return *this;
}
