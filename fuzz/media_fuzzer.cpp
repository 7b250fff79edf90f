// Fuzz target: the input is a media file. It is imported through the module
// as the host would, then asked for frames at several sizes and times, for
// sound of several lengths, saved (flatten), reopened (inflate) and disposed.
// Any host problem (a write outside a frame buffer, an unbalanced lock, a
// leaked handle, a suite not released) or an unexpected result aborts.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_session.h"

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

void DrawFrames(standin::Host& host, AEIO_InSpecH spec) {
  const standin::Told& told = host.TellsFor(spec);
  // The duration is whatever the file claimed; keep the arithmetic in range.
  const A_long hundredths =
      told.duration ? static_cast<A_long>(std::clamp<int64_t>(told.duration->value, -1000, 1 << 28))
                    : 100;
  // In order, back, far ahead, past the end and a zero scale: each course of
  // the frame search (reuse, read forward, seek) runs.
  const A_Time times[] = {
      {0, 100}, {4, 100}, {hundredths / 2, 100}, {1, 100}, {hundredths + 50, 100}, {7, 0}};
  const std::vector<Size> sizes = FrameSizes(told);
  size_t i = 0;
  for (const A_Time& time : times) {
    // 8-bit and deep worlds in turn: both conversions see every input.
    const standin::Depth depth = i % 2 == 0 ? standin::Depth::k8Bit : standin::Depth::k16Bit;
    const int pixel_bytes = depth == standin::Depth::k16Bit ? 8 : 4;
    const Size size = sizes[i++ % sizes.size()];
    standin::World world(size.width, size.height, size.width * pixel_bytes + 12, depth);
    const A_Err err = host.DrawFrame(spec, time, world);
    Require(err == A_Err_NONE || err == A_Err_ALLOC, "draw frame failed", err);
    Require(world.GuardsIntact(), "draw frame wrote outside the frame buffer");
    if (err == A_Err_NONE) {
      Require(world.UntouchedPixels() == 0, "draw frame left pixels unwritten",
              static_cast<long long>(world.UntouchedPixels()));
    }
  }
}

// Sound buffers carry guard floats on both sides.
void GetSounds(standin::Host& host, AEIO_InSpecH spec) {
  constexpr size_t kGuard = 16;
  constexpr float kGuardValue = -12345.5f;
  struct Request {
    A_long value;
    A_u_long scale;
    A_u_long samples;
  };
  const Request requests[] = {{0, 100, 1000}, {50, 100, 333}, {-20, 100, 100}, {1, 0, 5}};
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
void SaveAndReopen(standin::Host& host, AEIO_InSpecH spec) {
  AEIO_Handle flat = nullptr;
  const A_Err flat_err = host.Flatten(spec, &flat);
  Require(flat_err == A_Err_NONE, "flatten failed", flat_err);
  Require(flat != nullptr, "flatten gave no block");
  Require(host.HandleSize(static_cast<AEGP_MemHandle>(flat)) == 1024, "block is not 1024 bytes");
  AEIO_InSpecH reopened = host.NewInSpec();
  const A_Err inflate_err = host.Inflate(reopened, flat);
  Require(inflate_err == A_Err_NONE || inflate_err == A_Err_STRUCT, "inflate failed", inflate_err);
  host.FreeHandle(static_cast<AEGP_MemHandle>(flat));
  standin::World world(16, 9);
  const A_Err draw_err = host.DrawFrame(reopened, A_Time{1, 10}, world);
  Require(draw_err == A_Err_NONE || draw_err == A_Err_ALLOC, "draw after inflate", draw_err);
  std::vector<float> sound(2 * 64);
  const A_Err sound_err = host.GetSound(reopened, A_Time{0, 1}, 0, 64, sound.data());
  Require(sound_err == A_Err_NONE || sound_err == A_Err_ALLOC, "sound after inflate", sound_err);
  Require(host.Dispose(reopened) == A_Err_NONE, "dispose of the reopened item failed");
  host.DeleteInSpec(reopened);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zarn_fuzz::SessionHost();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  standin::Host& host = zarn_fuzz::SessionHost();
  // One name with spaces and non-ASCII letters: the path travels as UTF-16
  // into the module and back out through the flattened block.
  const std::string path = zarn_fuzz::WriteFile("fuzz input \xc3\xa9t\xc3\xa9.mkv", data, size);
  A_Err err = A_Err_NONE;
  AEIO_InSpecH spec = host.Import(path, &err);
  Require(err == A_Err_NONE || err == A_Err_STRUCT || err == A_Err_ALLOC, "import result", err);
  RequireClean(host, err != A_Err_NONE);
  if (err == A_Err_NONE) {
    AEIO_Verbiage verbiage{};
    Require(host.GetInfo(spec, &verbiage) == A_Err_NONE, "get info failed");
    DrawFrames(host, spec);
    GetSounds(host, spec);
    // After sound moved the shared demuxer.
    standin::World world(9, 7);
    Require(host.DrawFrame(spec, A_Time{2, 100}, world) == A_Err_NONE, "draw after sound");
    SaveAndReopen(host, spec);
    Require(host.Dispose(spec) == A_Err_NONE, "dispose failed");
  }
  host.DeleteInSpec(spec);
  RequireClean(host);
  return 0;
}
