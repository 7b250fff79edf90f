// The stand-in host: plays the compositing host's part for tests, benchmarks
// and zarn-host. It loads the plug-in module by file name, hands it a basic
// suite over the six suites the plug-in uses, owns memory handles, in-specs
// and frame buffers, records everything the plug-in tells it, checks the
// plug-in as a strict host would and injects faults on request.
//
// The suites are C function tables without a context argument, so one Host
// is "current" at a time (the last one constructed that is still alive).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host_abi/host_api.h"

namespace standin {

// What a convenience call answers when the plug-in registered no such
// callback, or one let an exception escape (both also recorded as problems).
inline constexpr A_Err kHostProblem = -1;

// Every host operation the plug-in can call, for the call log and for faults.
enum class Op {
  AcquireSuite,
  ReleaseSuite,
  RegisterDeathHook,
  RegisterIO,
  RegisterWithAEGP,
  AnsiStrcpy,
  NewMemHandle,
  FreeMemHandle,
  LockMemHandle,
  UnlockMemHandle,
  GetInSpecOptionsHandle,
  SetInSpecOptionsHandle,
  SetInSpecSize,
  SetInSpecDuration,
  SetInSpecDepth,
  SetInSpecDimensions,
  SetInSpecNativeFPS,
  SetInSpecAlphaLabel,
  SetInSpecInterlaceLabel,
  SetInSpecSoundRate,
  SetInSpecSoundEncoding,
  SetInSpecSoundSampleSize,
  SetInSpecSoundChannels,
  Fill,
  GetMemHandleSize,
  SetInSpecHSF,
  Fill16,
  SetInSpecNativeStartTime,
  SetInSpecNativeDisplayDropFrame,
};
const char* OpName(Op op);

// One logged host call. `text` is a short rendering of its arguments, e.g.
// "AEGP Memory Suite 1" for AcquireSuite, "Zarn_Importer optionsH 400 1" for
// NewMemHandle; `result` is what the host returned.
struct Call {
  Op op;
  std::string text;
  A_Err result;
};

// Everything the plug-in told the host about one footage item.
struct Told {
  std::optional<AEIO_FileSize> size;
  std::optional<A_Time> duration;
  std::optional<A_short> depth;
  std::optional<std::pair<A_long, A_long>> dimensions;
  std::optional<A_Fixed> native_fps;
  std::optional<A_Ratio> pixel_aspect;                  // AEGP_SetInSpecHSF
  std::optional<std::vector<uint8_t>> alpha_label;      // the 10 bytes as passed
  std::optional<std::vector<uint8_t>> interlace_label;  // the 18 bytes as passed
  std::optional<A_FpLong> sound_rate;
  std::optional<AEIO_SndEncoding> sound_encoding;
  std::optional<AEIO_SndSampleSize> sound_sample_size;
  std::optional<AEIO_SndChannels> sound_channels;
  std::optional<A_Time> start_time;  // IO In suite version 6
  std::optional<bool> drop_frame;    // IO In suite version 6
  std::vector<Op> order;             // the setters, in the order they were called
};

enum class Depth { k8Bit, k16Bit };

// What the stand-in user answers when the plug-in offers its sound tracks
// (rows as the dialog shows them, the current one selected).
struct TrackAnswer {
  bool confirmed = false;  // OK; false is Cancel
  A_long row = -1;
};
using SoundTrackChooser =
    std::function<TrackAnswer(const std::vector<std::string>& rows, A_long current_row)>;

// A frame buffer with guard bytes before, after and past the visible pixels
// of each row (width * 4 bytes, or width * 8 in a deep world: 16-bit A, R, G,
// B, world_flags DEEP). The host fills it with a known pattern at creation.
class World {
 public:
  World(A_long width, A_long height, A_long rowbytes = 0,
        Depth depth = Depth::k8Bit);  // rowbytes 0: width * pixel size
  World(const World&) = delete;
  World& operator=(const World&) = delete;
  ~World();

  PF_EffectWorld* get() { return &world_; }
  A_long width() const { return world_.width; }
  A_long height() const { return world_.height; }
  A_long rowbytes() const { return world_.rowbytes; }
  bool deep() const { return pixel_bytes_ == 8; }
  // The visible pixels, width * 4 (deep: width * 8) bytes per row, top row first.
  std::vector<uint8_t> Pixels() const;
  // A deep world's visible channels as 16-bit values (A, R, G, B per pixel).
  std::vector<uint16_t> Pixels16() const;
  // True while nothing outside the visible pixels has changed.
  bool GuardsIntact() const;
  // True while no visible byte has changed since creation (or ResetPattern).
  bool Untouched() const;
  // Visible pixels whose four bytes all still hold the pattern: 0 after a
  // draw that wrote every pixel.
  size_t UntouchedPixels() const;
  void ResetPattern();

 private:
  size_t VisibleBytes() const { return static_cast<size_t>(world_.width) * pixel_bytes_; }

  PF_EffectWorld world_{};
  size_t pixel_bytes_ = 4;
  std::vector<uint8_t> storage_;
  size_t offset_ = 0;
};

// The plug-in module, loaded by file name (dlopen / LoadLibraryW).
class Module {
 public:
  // Returns null and sets *error when the file does not load or has no
  // EntryPointFunc.
  static std::unique_ptr<Module> Load(const std::string& path, std::string* error);
  ~Module();
  AEGP_PluginInitFuncPrototype entry() const { return entry_; }

 private:
  Module() = default;
  void* library_ = nullptr;
  AEGP_PluginInitFuncPrototype entry_ = nullptr;
};

// What registration left with the host.
struct Registration {
  A_Err result = 0;
  bool death_hook_registered = false;
  AEGP_DeathHook death_hook = nullptr;
  bool io_registered = false;
  AEIO_ModuleInfo module_info{};         // copied when RegisterIO ran
  AEIO_FunctionBlock4 function_block{};  // copied when RegisterIO ran
  bool name_registered = false;
  std::string registered_name;
  AEGP_PluginID registered_id = 0;  // the id the host wrote in RegisterWithAEGP
};

class Host {
 public:
  Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  ~Host();
  static Host* Current();

  // ---- the basic suite and basic data handed to the plug-in
  const SPBasicSuite* BasicSuite() const;
  // Basic data carrying the basic suite (pica_basicP null if `without_suite`).
  AEIO_BasicData* BasicData(bool without_suite = false);

  // ---- registration: calls the module's entry point as the host would
  // (plug-in id 7 by default; the host later writes its own id 0x5A41 as the
  // registered id). Returns the entry point's result.
  A_Err Register(const Module& module, AEGP_PluginID entry_plugin_id = 7);
  A_Err RegisterWithNullBasicSuite(const Module& module);
  const Registration& registration() const { return registration_; }
  const AEIO_FunctionBlock4& callbacks() const { return registration_.function_block; }
  // Shutdown: calls the registered death hook with the refcons registration
  // left (kHostProblem and a problem when none was registered).
  A_Err CallDeathHook();

  // ---- in-specs (footage items)
  AEIO_InSpecH NewInSpec();
  void DeleteInSpec(AEIO_InSpecH spec);  // the options handle is not freed
  AEGP_MemHandle OptionsHandle(AEIO_InSpecH spec) const;
  void SetOptionsHandle(AEIO_InSpecH spec, AEGP_MemHandle handle);  // as the host's own act
  const Told& TellsFor(AEIO_InSpecH spec) const;

  // ---- convenience: the host's side of the callbacks (via callbacks())
  // Import: a new in-spec, then AEIO_InitInSpecFromFile with the UTF-8 path
  // converted to UTF-16. *result gets the callback's result.
  AEIO_InSpecH Import(const std::string& utf8_path, A_Err* result);
  A_Err DrawFrame(AEIO_InSpecH spec, A_Time time, World& world);
  // With the host's full parameter block (scale, quality, region...).
  A_Err DrawFrame(AEIO_InSpecH spec, const AEIO_DrawSparseFramePB& pb, World& world,
                  AEIO_DrawingFlags* flags = nullptr);
  A_Err GetSound(AEIO_InSpecH spec, A_Time start, A_u_long start_sample, A_u_long num_samples,
                 void* buffer);
  A_Err Flatten(AEIO_InSpecH spec, AEIO_Handle* flat);
  A_Err Inflate(AEIO_InSpecH spec, AEIO_Handle flat);
  A_Err Dispose(AEIO_InSpecH spec);
  A_Err GetInfo(AEIO_InSpecH spec, AEIO_Verbiage* verbiage);
  // Interpret Footage > More Options: AEIO_SeqOptionsDlg.
  A_Err OptionsDialog(AEIO_InSpecH spec, A_Boolean* user_interacted);
  // Offers the plug-in "Zarn Sound Track Suite" 1, answered by `chooser`, in
  // place of a dialog; an empty chooser withdraws it (the default: a real
  // host has no such suite).
  void SetSoundTrackChooser(SoundTrackChooser chooser);

  // ---- memory handles
  // A handle made by the host itself (e.g. a flattened block read from a
  // project), holding `bytes`.
  AEGP_MemHandle NewHandle(const std::string& name, const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> HandleBytes(AEGP_MemHandle handle) const;
  std::string HandleName(AEGP_MemHandle handle) const;
  // The live handle's bytes in place (null once freed), without locking:
  // for looking at the plug-in's record between calls.
  void* HandleData(AEGP_MemHandle handle) const;
  size_t HandleSize(AEGP_MemHandle handle) const;
  int LockCount(AEGP_MemHandle handle) const;
  bool IsLive(AEGP_MemHandle handle) const;
  void FreeHandle(AEGP_MemHandle handle);  // the host freeing one it owns
  size_t LiveHandleCount() const;
  // Handles created by the plug-in and not freed, by name.
  std::vector<std::string> LiveHandleNames() const;
  // Handles still locked.
  size_t LockedHandleCount() const;
  // LiveHandleCount counts every live handle, the host's own included.

  // ---- strictness: what a strict host would complain about (double free,
  // unlock without lock, free while locked, use of an unknown handle,
  // release of a suite not acquired, a write outside a frame buffer...).
  const std::vector<std::string>& problems() const { return problems_; }
  void AddProblem(std::string problem);
  // Suites acquired and not yet released.
  int OutstandingSuites() const;

  // ---- call log
  const std::vector<Call>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  std::vector<Op> CallOps() const;
  // Off: calls are still counted (CountOf) but not kept, so long runs such as
  // benchmarks do not grow the log.
  void KeepCallLog(bool keep);

  // ---- faults
  // AcquireSuite answers kSPSuiteNotFoundError for this suite.
  void MissSuite(const std::string& name, int32_t version);
  // AcquireSuite answers 0 with a null table for this suite.
  void NullSuite(const std::string& name, int32_t version);
  // The n-th call (1-based, counted from now) of `op` fails with `err` and
  // has no effect (out arguments untouched). strcpy has no error result: a
  // failed one copies nothing and answers null, and `err` shows only in the
  // call log.
  void FailNthCall(Op op, int n, A_Err err);
  // NewMemHandle answers 0 with a null handle on its n-th call from now.
  void NullNthNewHandle(int n);
  // LockMemHandle answers 0 with a null pointer on its n-th call from now;
  // the handle is not counted as locked.
  void NullNthLock(int n);
  // Clears the planned calls and the missing and null suites.
  void ClearFaults();
  // How many times `op` has been called since construction.
  int CountOf(Op op) const;

  // Internal state; defined in host/*.cpp.
  struct State;
  State& state() { return *state_; }

 private:
  A_Err CallEntryPoint(const Module& module, AEGP_PluginID entry_plugin_id, bool null_basic_suite);

  std::unique_ptr<State> state_;
  Registration registration_;
  std::vector<Call> calls_;
  std::vector<std::string> problems_;
  AEIO_BasicData basic_data_{};
  AEIO_BasicData basic_data_without_suite_{};
};

// UTF-8 to the host's NUL-terminated UTF-16 text.
std::vector<A_UTF16Char> ToUtf16(const std::string& utf8);

}  // namespace standin
