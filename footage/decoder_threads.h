// The machine's cores shared among the items playing pictures now. A decoder
// with automatic threads starts one thread more than the machine has cores;
// many items playing at once, each with such a decoder, made the threads
// outnumber the cores many times over, and the items played slower than
// they would on fewer threads each (their workers decoding ahead already
// keep the cores busy). An item alone keeps automatic threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <unordered_map>

// Threads for one picture decoder when `playing` items share `cores`: 0
// (automatic) for an item alone, otherwise the cores split evenly, at least one.
int ThreadShare(int cores, int playing);

class DecoderThreads {
 public:
  using Clock = std::chrono::steady_clock;
  // An item that asked for no picture for this long no longer plays, and
  // gives its share back to the decoders opened or renewed after that.
  static constexpr Clock::duration kPlayingWindow = std::chrono::seconds(2);

  static DecoderThreads& Module();

  // `item` asked for a picture.
  void NotePlaying(uint64_t item, Clock::time_point now = Clock::now());
  // `item` closed its picture decoder.
  void Forget(uint64_t item);
  // Items playing now, `item` (which opens a picture decoder) among them.
  int Playing(uint64_t item, Clock::time_point now = Clock::now());

 private:
  std::mutex lock_;
  std::unordered_map<uint64_t, Clock::time_point> last_asked_;
};
