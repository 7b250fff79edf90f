// Large FFmpeg blocks are kept for reuse instead of going back to
// AddressSanitizer. ASan maps every block above 128 KiB afresh and unmaps it
// on free, and each input opens demuxers and decoders whose contexts are
// 0.5-2 MiB: page faults on those fresh maps were nearly all of an input's
// time (about 16 inputs a second against 130 without ASan).
//
// libavcodec and libavformat reach av_malloc, av_mallocz, av_free and
// av_freep through the dynamic linker, so these definitions in the fuzz
// target take their calls; libavutil's calls among its own functions stay
// inside it (it is linked -Bsymbolic) and go to ASan as before. A kept
// block stays an ASan allocation of its exact size, so anything may free it
// or reallocate it; while it waits it is poisoned, so a use after free is
// still caught until the block is handed out again. Blocks are handed out
// oldest first and only when another of the same size waits behind them;
// past 48 MiB the oldest go back to ASan.
#include <dlfcn.h>
#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

constexpr size_t kLarge = size_t{128} << 10;     // ASan's own large-block threshold
constexpr size_t kKeptLimit = size_t{48} << 20;  // bytes kept: LeakSanitizer scans them

struct Block {
  size_t size;
  void* data;
};

// Oldest first; the oldest go back to ASan when the limit is passed.
struct Kept {
  std::mutex mutex;
  std::deque<Block> blocks;
  size_t bytes = 0;
};

Kept& TheKept() {
  static Kept* kept = new Kept;  // never destroyed: frees may come at exit
  return *kept;
}

template <typename Fn>
Fn Real(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

void* RealMalloc(size_t size) {
  static const auto real = Real<void* (*)(size_t)>("av_malloc");
  return real(size);
}

void RealFree(void* block) {
  static const auto real = Real<void (*)(void*)>("av_free");
  real(block);
}

void* TakeKept(size_t size) {
  Kept& kept = TheKept();
  const std::lock_guard<std::mutex> hold(kept.mutex);
  const auto same = [size](const Block& b) { return b.size == size; };
  const auto oldest = std::find_if(kept.blocks.begin(), kept.blocks.end(), same);
  if (oldest == kept.blocks.end() ||
      std::find_if(oldest + 1, kept.blocks.end(), same) == kept.blocks.end()) {
    return nullptr;
  }
  void* block = oldest->data;
  kept.blocks.erase(oldest);
  kept.bytes -= size;
  ASAN_UNPOISON_MEMORY_REGION(block, size);
  return block;
}

bool Keep(void* block) {
  if (block == nullptr || __sanitizer_get_ownership(block) == 0) return false;
  const size_t size = __sanitizer_get_allocated_size(block);
  if (size < kLarge || size > kKeptLimit / 4) return false;
  // Kept blocks are poisoned: one that is poisoned already is freed twice.
  if (__asan_address_is_poisoned(block)) {
    std::fprintf(stderr, "zarn fuzz: a block of %zu bytes at %p is freed twice\n", size, block);
    std::abort();
  }
  Kept& kept = TheKept();
  const std::lock_guard<std::mutex> hold(kept.mutex);
  // Cleared, so that LeakSanitizer's scans find no stale pointers in it.
  std::memset(block, 0, size);
  ASAN_POISON_MEMORY_REGION(block, size);
  kept.blocks.push_back({size, block});
  kept.bytes += size;
  while (kept.bytes > kKeptLimit) {
    const Block oldest = kept.blocks.front();
    kept.blocks.pop_front();
    kept.bytes -= oldest.size;
    ASAN_UNPOISON_MEMORY_REGION(oldest.data, oldest.size);
    RealFree(oldest.data);
  }
  return true;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void* av_malloc(size_t size) {
  if (size >= kLarge) {
    if (void* block = TakeKept(size)) return block;
  }
  return RealMalloc(size);
}

__attribute__((visibility("default"))) void* av_mallocz(size_t size) {
  if (size >= kLarge) {
    if (void* block = TakeKept(size)) return std::memset(block, 0, size);
  }
  static const auto real = Real<void* (*)(size_t)>("av_mallocz");
  return real(size);
}

__attribute__((visibility("default"))) void av_free(void* block) {
  if (!Keep(block)) RealFree(block);
}

__attribute__((visibility("default"))) void av_freep(void* where) {
  void* block = nullptr;
  std::memcpy(&block, where, sizeof block);
  void* const null = nullptr;
  std::memcpy(where, &null, sizeof null);
  av_free(block);
}

}  // extern "C"
