// Fuzz target: the input is a flattened options block as a project file might
// hold it, handed to inflate in a host handle of exactly the input's size
// (1024 bytes for a block this plug-in wrote; anything else for a damaged
// project). A block naming a clip that exists opens it; the item is then
// asked for a frame and sound, saved again and disposed.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "fuzz/fuzz_session.h"

namespace {

using zarn_fuzz::Require;
using zarn_fuzz::RequireClean;

// A small real clip in the temp dir, so blocks naming "clip.mkv" open media.
void PlaceClip() {
  std::ifstream in(ZARN_FUZZ_CLIP, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Require(!bytes.empty(), "the fuzz clip is missing");
  zarn_fuzz::WriteFile("clip.mkv", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zarn_fuzz::SessionHost();
  PlaceClip();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  standin::Host& host = zarn_fuzz::SessionHost();
  const AEGP_MemHandle block =
      host.NewHandle("project block", std::vector<uint8_t>(data, data + size));
  AEIO_InSpecH spec = host.NewInSpec();
  const A_Err err = host.Inflate(spec, block);
  // 0, 2 (the media did not open), 3 (not a block), 4 (no memory).
  Require(err == A_Err_NONE || err == A_Err_STRUCT || err == A_Err_PARAMETER || err == A_Err_ALLOC,
          "inflate result", err);
  Require(host.HandleBytes(block) == std::vector<uint8_t>(data, data + size),
          "inflate changed the host's block");
  host.FreeHandle(block);
  RequireClean(host, false);

  if (host.OptionsHandle(spec) != nullptr) {
    standin::World world(12, 8);
    const A_Err draw_err = host.DrawFrame(spec, A_Time{1, 25}, world);
    Require(draw_err == A_Err_NONE, "draw after inflate", draw_err);
    std::vector<float> sound(2 * 256);
    const A_Err sound_err = host.GetSound(spec, A_Time{0, 1}, 0, 256, sound.data());
    Require(sound_err == A_Err_NONE, "sound after inflate", sound_err);
    AEIO_Handle flat = nullptr;
    const A_Err flat_err = host.Flatten(spec, &flat);
    Require(flat_err == A_Err_NONE || flat_err == A_Err_PARAMETER, "flatten after inflate",
            flat_err);
    if (flat != nullptr) {
      // The block saved again names the same file: the path survives.
      const auto again = host.HandleBytes(static_cast<AEGP_MemHandle>(flat));
      Require(again.size() == 1024, "flattened block size", static_cast<long long>(again.size()));
      const size_t length = strnlen(reinterpret_cast<const char*>(again.data()), again.size());
      Require(length < size && std::memcmp(again.data(), data, length) == 0 && data[length] == 0,
              "the saved path differs from the inflated one");
      host.FreeHandle(static_cast<AEGP_MemHandle>(flat));
    }
    Require(host.Dispose(spec) == A_Err_NONE, "dispose after inflate failed");
  }
  host.DeleteInSpec(spec);
  RequireClean(host);
  return 0;
}
