// Fuzz target: the input is a media file behind two bytes that say how it
// is read. The first picks the file's extension among the module's kinds
// (Matroska, FLV, and the .ept and .mad names), so every demuxer the module
// can meet sees the bytes, whatever their content says; the second picks
// the plan: frame sizes and depths, where sound is asked for, and whether
// the item is saved and reopened. Each input asks for a few frames and a
// short stretch of sound, so the work per input stays bounded. Any host
// problem (a write outside a frame buffer, an unbalanced lock, a leaked
// handle, a suite not released) or an unexpected result aborts.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_session.h"

extern "C" {
#include <libavutil/cpu.h>
}

namespace {

using zarn_fuzz::Require;
using zarn_fuzz::RequireClean;

// Frame buffers stay small whatever the footage claims: the scaler runs from
// the footage's size to these.
struct Size {
  A_long width, height;
};

std::vector<Size> FrameSizes(const standin::Told& told) {
  std::vector<Size> sizes = {{7, 5}, {33, 17}};
  if (told.dimensions) {
    const A_long w = told.dimensions->first;
    const A_long h = told.dimensions->second;
    if (w > 0 && h > 0 && w <= 640 && h <= 480) sizes.push_back({w, h});
    if (w > 0 && h > 0 && w <= 160 && h <= 120) sizes.push_back({w * 2 + 1, h * 2 + 1});
  }
  return sizes;
}

// What the plan byte chooses.
struct Plan {
  uint8_t bits;
  bool deep_first() const { return (bits & 1) != 0; }
  size_t first_size() const { return (bits >> 1) & 3; }
  size_t second_time() const { return (bits >> 3) & 3; }
  bool sound_late() const { return (bits & 0x20) != 0; }
  bool reopen() const { return (bits & 0xC0) == 0xC0; }  // one input in four
};

void DrawFrames(standin::Host& host, AEIO_InSpecH spec, Plan plan) {
  const standin::Told& told = host.TellsFor(spec);
  // The duration is whatever the file claimed; keep the arithmetic in range.
  const A_long hundredths =
      told.duration ? static_cast<A_long>(std::clamp<int64_t>(told.duration->value, -1000, 1 << 28))
                    : 100;
  // The start, then the middle (a seek), just after the start (read on),
  // past the end or a zero scale (no time): each course of the frame search
  // runs over the inputs.
  const A_Time then[] = {{hundredths / 2, 100}, {1, 100}, {hundredths + 50, 100}, {7, 0}};
  const A_Time times[] = {{0, 100}, then[plan.second_time()]};
  const std::vector<Size> sizes = FrameSizes(told);
  size_t i = plan.first_size();
  bool deep = plan.deep_first();
  for (const A_Time& time : times) {
    // 8-bit and deep worlds in turn: both conversions see every input.
    const standin::Depth depth = deep ? standin::Depth::k16Bit : standin::Depth::k8Bit;
    deep = !deep;
    const int pixel_bytes = depth == standin::Depth::k16Bit ? 8 : 4;
    const Size size = sizes[i++ % sizes.size()];
    standin::World world(size.width, size.height, size.width * pixel_bytes + 12, depth);
    const A_Err err = host.DrawFrame(spec, time, world);
    Require(err == A_Err_NONE || err == A_Err_ALLOC || err == A_Err_STRUCT, "draw frame failed",
            err);
    Require(world.GuardsIntact(), "draw frame wrote outside the frame buffer");
    if (err == A_Err_NONE) {
      Require(world.UntouchedPixels() == 0, "draw frame left pixels unwritten",
              static_cast<long long>(world.UntouchedPixels()));
    }
  }
}

// Sound buffers carry guard floats on both sides.
void GetSounds(standin::Host& host, AEIO_InSpecH spec, Plan plan) {
  constexpr size_t kGuard = 16;
  constexpr float kGuardValue = -12345.5f;
  struct Request {
    A_long value;
    A_u_long scale;
    A_u_long samples;
  };
  // From the start, or a stretch a seek reaches; a zero scale names no time.
  const Request requests[] = {plan.sound_late() ? Request{50, 100, 333} : Request{-20, 100, 1000},
                              {1, 0, 5}};
  for (const Request& r : requests) {
    std::vector<float> buffer(kGuard + r.samples * 2 + kGuard, kGuardValue);
    const A_Err err =
        host.GetSound(spec, A_Time{r.value, r.scale}, 0, r.samples, buffer.data() + kGuard);
    Require(err == A_Err_NONE || err == A_Err_ALLOC, "get sound failed", err);
    for (size_t g = 0; g < kGuard; ++g) {
      Require(buffer[g] == kGuardValue && buffer[buffer.size() - 1 - g] == kGuardValue,
              "get sound wrote outside its buffer");
    }
  }
}

// Saves the item, opens the saved block into a second item and asks it for
// a frame and a little sound before disposing both.
void SaveAndReopen(standin::Host& host, AEIO_InSpecH spec, Plan plan) {
  AEIO_Handle flat = nullptr;
  const A_Err flat_err = host.Flatten(spec, &flat);
  Require(flat_err == A_Err_NONE, "flatten failed", flat_err);
  Require(flat != nullptr, "flatten gave no block");
  Require(host.HandleSize(static_cast<AEGP_MemHandle>(flat)) == 1024, "block is not 1024 bytes");
  if (!plan.reopen()) {
    host.FreeHandle(static_cast<AEGP_MemHandle>(flat));
    return;
  }
  AEIO_InSpecH reopened = host.NewInSpec();
  const A_Err inflate_err = host.Inflate(reopened, flat);
  Require(inflate_err == A_Err_NONE || inflate_err == A_Err_STRUCT, "inflate failed", inflate_err);
  host.FreeHandle(static_cast<AEGP_MemHandle>(flat));
  standin::World world(16, 9);
  const A_Err draw_err = host.DrawFrame(reopened, A_Time{1, 10}, world);
  Require(draw_err == A_Err_NONE || draw_err == A_Err_ALLOC || draw_err == A_Err_STRUCT,
          "draw after inflate", draw_err);
  std::vector<float> sound(2 * 64);
  const A_Err sound_err = host.GetSound(reopened, A_Time{0, 1}, 0, 64, sound.data());
  Require(sound_err == A_Err_NONE || sound_err == A_Err_ALLOC, "sound after inflate", sound_err);
  Require(host.Dispose(reopened) == A_Err_NONE, "dispose of the reopened item failed");
  host.DeleteInSpec(reopened);
}

constexpr const char* kExtensions[] = {".mkv", ".flv", ".ept", ".mad"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // One decoder thread: thread start-up would cost more than a small input's
  // whole decode, and the threaded paths have their own tests.
  av_cpu_force_count(1);
  zarn_fuzz::SessionHost();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const char* extension = kExtensions[data[0] % std::size(kExtensions)];
  const Plan plan{data[1]};
  standin::Host& host = zarn_fuzz::SessionHost();
  // One name with spaces and non-ASCII letters: the path travels as UTF-16
  // into the module and back out through the flattened block.
  const std::string path = zarn_fuzz::WriteFile(
      std::string("fuzz input \xc3\xa9t\xc3\xa9") + extension, data + 2, size - 2);
  A_Err err = A_Err_NONE;
  AEIO_InSpecH spec = host.Import(path, &err);
  Require(err == A_Err_NONE || err == A_Err_STRUCT || err == A_Err_ALLOC, "import result", err);
  RequireClean(host, err != A_Err_NONE);
  if (err == A_Err_NONE) {
    AEIO_Verbiage verbiage{};
    Require(host.GetInfo(spec, &verbiage) == A_Err_NONE, "get info failed");
    DrawFrames(host, spec, plan);
    GetSounds(host, spec, plan);
    // After sound moved its own demuxer, the picture's is where it was.
    standin::World world(9, 7);
    const A_Err draw_err = host.DrawFrame(spec, A_Time{2, 100}, world);
    Require(draw_err == A_Err_NONE || draw_err == A_Err_STRUCT, "draw after sound", draw_err);
    SaveAndReopen(host, spec, plan);
    Require(host.Dispose(spec) == A_Err_NONE, "dispose failed");
  }
  host.DeleteInSpec(spec);
  RequireClean(host);
  return 0;
}
