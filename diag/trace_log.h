// The plug-in's trace log: a private stream on a fixed relative path,
// truncated at every load. Each line is formatted into a stack buffer and
// written whole, then flushed, so lines of concurrent callbacks never
// interleave. Lines end in CR LF on every platform. Every failure is silent.
//
//   TraceLine() << "seek time=" << tr.value << "/" << tr.scale;
#pragma once

#include <cstddef>
#include <cstdint>

namespace TraceLog {
// Opens (creating or truncating) the log file; folders are never created.
void Open();
// Closes the file; later lines are dropped until the next Open.
void Close();

// While one lives, the lines of its thread are dropped: work the module does
// on its own (decoding ahead) leaves the log as the host's calls write it.
class QuietThread {
 public:
  QuietThread();
  ~QuietThread();
  QuietThread(const QuietThread&) = delete;
  QuietThread& operator=(const QuietThread&) = delete;
};
}  // namespace TraceLog

class TraceLine {
 public:
  TraceLine() = default;
  TraceLine(const TraceLine&) = delete;
  TraceLine& operator=(const TraceLine&) = delete;
  ~TraceLine();  // ends the line: appends CR LF, writes it whole and flushes

  TraceLine& operator<<(const char* text);
  TraceLine& operator<<(int32_t value);
  TraceLine& operator<<(uint32_t value);
  TraceLine& operator<<(int64_t value);

 private:
  void Append(const char* text, size_t length);

  char buffer_[2048];
  size_t length_ = 0;
};
