// Declarations of the compositing host's types, records and suites that the
// plug-in uses, written from the host's published Win64 layouts. A real host
// reads records by offset and calls suites by position, so every size and
// offset below is checked at compile time. No FFmpeg header belongs here.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// ---------------------------------------------------------------- basic types
typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef unsigned char A_u_char;
typedef unsigned char A_Boolean;
typedef A_long A_Err;
typedef A_long A_Fixed;  // 16.16 fixed point
typedef double A_FpLong;
typedef uint64_t A_u_longlong;
typedef uint16_t A_UTF16Char;  // same width as a Windows wchar_t

struct A_Time {
  A_long value;  // seconds = value / scale
  A_u_long scale;
};
struct A_Ratio {
  A_long num;
  A_u_long den;
};
struct A_LRect {
  A_long left, top, right, bottom;
};
typedef A_LRect A_Rect;
typedef A_LRect PF_LRect;
typedef A_LRect PF_Rect;
struct PF_RationalScale {
  A_long num;
  A_u_long den;
};
struct AEIO_RationalScale {
  A_Ratio x;
  A_Ratio y;
};

typedef A_long PF_Err;
typedef A_long AEGP_PluginID;
typedef A_u_long AEGP_MemSize;
typedef A_long AEGP_MemFlag;
typedef A_long AEIO_ModuleSignature;
typedef A_u_longlong AEIO_FileSize;
typedef A_short AEIO_SndEncoding;
typedef A_short AEIO_SndSampleSize;
typedef A_short AEIO_SndChannels;
typedef A_long AEIO_SndQuality;
typedef A_short AEIO_Quality;
typedef A_short AEIO_TimeDir;
typedef A_long AEIO_DrawingFlags;

// Opaque handles: never dereferenced by the plug-in.
struct AEGP_OpaqueMem;
typedef AEGP_OpaqueMem** AEGP_MemHandle;
typedef AEGP_MemHandle AEIO_Handle;
struct AEIO_OpaqueInSpec;
typedef AEIO_OpaqueInSpec** AEIO_InSpecH;
struct AEGP_OpaqueGlobalRefcon;
typedef AEGP_OpaqueGlobalRefcon* AEGP_GlobalRefcon;
struct AEGP_OpaqueDeathRefcon;
typedef AEGP_OpaqueDeathRefcon* AEGP_DeathRefcon;
struct AEGP_OpaqueIORefcon;
typedef AEGP_OpaqueIORefcon* AEGP_IORefcon;
struct PF_OpaqueProgData;
typedef PF_OpaqueProgData* PF_ProgPtr;
struct AEGP_OpaqueColorProfile;
typedef const AEGP_OpaqueColorProfile* AEGP_ConstColorProfileP;

// A table entry the plug-in never calls: only its 8-byte slot matters.
typedef void (*AEGP_UnusedEntry)(void);

// ---------------------------------------------------------------- error codes
enum : A_Err {
  A_Err_NONE = 0,
  A_Err_GENERIC = 1,
  A_Err_STRUCT = 2,  // media cannot be opened, probed or decoded
  A_Err_PARAMETER = 3,
  A_Err_ALLOC = 4,                    // a video frame could not be allocated
  PF_Err_BAD_CALLBACK_PARAM = 516,    // a host suite is missing
  AEIO_Err_USE_DFLT_CALLBACK = 9992,  // the host should use its own handling
};

// ---------------------------------------------------------------- constants
enum : A_u_long {
  AEIO_MFlag_INPUT = 1,
  AEIO_MFlag_OUTPUT = 2,
  AEIO_MFlag_FILE = 4,
  AEIO_MFlag_STILL = 8,
  AEIO_MFlag_VIDEO = 16,
  AEIO_MFlag_AUDIO = 32,
  AEIO_MFlag_HSF_AWARE = 0x00400000,      // tells every item its pixel aspect
  AEIO_MFlag_CAN_DRAW_DEEP = 0x40000000,  // draws into 16-bit worlds
};
enum : A_long { PF_WorldFlag_DEEP = 1, PF_WorldFlag_WRITEABLE = 2 };
enum : A_u_short { PF_MAX_CHAN16 = 32768 };  // white in a 16-bit world
enum : AEGP_MemFlag { AEGP_MemFlag_NONE = 0, AEGP_MemFlag_CLEAR = 1, AEGP_MemFlag_QUIET = 2 };
enum : AEIO_SndEncoding { AEIO_E_UNSIGNED_PCM = 1, AEIO_E_SIGNED_PCM = 2, AEIO_E_SIGNED_FLOAT = 3 };
enum : A_long { AEIO_ANY_CREATOR = -1 };
enum : A_short { AEIO_AlphaLabel_VERSION = 0x0101, FIEL_Label_VERSION = 1 };
enum : A_u_long { AEIO_Alpha_PREMUL = 0x1, FIEL_Tag = 0x4649454C /* 'FIEL' */ };
enum : A_u_long { FIEL_Type_FRAME_RENDERED = 0, FIEL_Type_INTERLACED = 1 };
enum : A_u_long { FIEL_Order_UPPER_FIRST = 0, FIEL_Order_LOWER_FIRST = 1 };
enum : A_u_char { AEIO_Alpha_STRAIGHT = 0 };  // the label's alpha type
enum { AEIO_MAX_MODULE_NAME_LEN = 31, AEIO_MAX_TYPES = 16, AEIO_MAX_AUX_EXT = 16 };

// ---------------------------------------------------------------- SPBasicSuite
typedef int32_t SPErr;
typedef int32_t SPBoolean;  // 4 bytes on Windows
struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, int32_t version);
  SPBoolean (*IsEqual)(const char* token1, const char* token2);
  SPErr (*AllocateBlock)(size_t size, void** block);
  SPErr (*FreeBlock)(void* block);
  SPErr (*ReallocateBlock)(void* block, size_t new_size, void** new_block);
  SPErr (*Undefined)(void);
};
enum : SPErr { kSPNoError = 0, kSPSuiteNotFoundError = 0x53214664 /* 'S!Fd' */ };

// ---------------------------------------------------------------- records
struct PF_Pixel {  // 8-bit, in memory order alpha, red, green, blue
  A_u_char alpha, red, green, blue;
};
struct PF_Pixel16 {  // the same order, each 0..PF_MAX_CHAN16
  A_u_short alpha, red, green, blue;
};

struct PF_EffectWorld {
  void* reserved0;
  void* reserved1;
  A_long world_flags;
  PF_Pixel* data;
  A_long rowbytes;  // bytes from one row to the next; may exceed width * 4
  A_long width;
  A_long height;
  PF_LRect extent_hint;
  void* platform_ref;
  A_long reserved_long1;
  void* reserved_long4;
  PF_RationalScale pix_aspect_ratio;
  void* reserved_long2;
  A_long origin_x;
  A_long origin_y;
  A_long reserved_long3;
  A_long dephault;
};
typedef PF_EffectWorld PF_LayerDef;

struct AEIO_BasicData {
  void (*msg_func)(A_Err err, const char* msg);
  const SPBasicSuite* pica_basicP;
  A_long aegp_plug_id;
  void* aegp_refconPV;
};

struct AEIO_InterruptFuncs {
  void* refcon;
  A_Err (*abort0)(void* refcon);
  A_Err (*progress0)(void* refcon, A_long count, A_long total);
};

struct AEIO_DrawSparseFramePB {
  AEIO_Quality qual;
  AEIO_RationalScale rs;
  A_Time tr;  // the requested time
  A_Time duration;
  A_LRect required_region;
  AEIO_InterruptFuncs inter;
};

struct AEIO_Verbiage {
  A_char name[32];
  A_char type[32];
  A_char sub_type[128];
};

#pragma pack(push, 2)
struct AEIO_AlphaLabel {
  A_short version;
  A_u_long flags;
  A_u_char red, green, blue;
  A_u_char alpha;
};
struct FIEL_Label {
  A_u_long signature;
  A_short version;
  A_u_long type;
  A_u_long order;
  A_u_long reserved;
};
#pragma pack(pop)

struct PFILE_FileKind {
  A_long type;
  A_long creator;
};
struct AEIO_FileExt {
  A_char pad;           // always '.'
  A_char extension[3];  // no terminator
};
union AEIO_FileKind {
  PFILE_FileKind mac;
  AEIO_FileExt ext;
  A_long scrap;
};
struct AEIO_AuxExt {
  A_char extension[4];
  A_long type;
  A_long creator;
};

struct AEIO_ModuleInfo {
  AEIO_ModuleSignature sig;
  A_char name[AEIO_MAX_MODULE_NAME_LEN + 1];
  A_u_long flags;
  A_u_long flags2;
  A_long max_width;
  A_long max_height;
  A_short num_filetypes;
  A_short num_extensions;
  A_short num_clips;
  A_short pad;
  PFILE_FileKind create_kind;
  AEIO_FileExt create_ext;
  AEIO_FileKind read_kinds[AEIO_MAX_TYPES];  // file types, then extensions, then clips
  A_short num_aux_extensionsS;
  AEIO_AuxExt aux_ext[AEIO_MAX_AUX_EXT];
};

// ---------------------------------------------------------------- hooks
typedef A_Err (*AEGP_DeathHook)(AEGP_GlobalRefcon plugin_refcon, AEGP_DeathRefcon refcon);

// ---------------------------------------------------------------- function block
// The 49 callback slots of the input/output module, in the host's order.
// Entries the plug-in never fills keep the generic slot type.
struct AEIO_FunctionBlock4 {
  A_Err (*AEIO_InitInSpecFromFile)(AEIO_BasicData* basic_dataP, const A_UTF16Char* file_pathZ,
                                   AEIO_InSpecH specH);                                  // 0
  A_Err (*AEIO_InitInSpecInteractive)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH);  // 1
  A_Err (*AEIO_DisposeInSpec)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH);          // 2
  A_Err (*AEIO_FlattenOptions)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                               AEIO_Handle* flat_optionsPH);  // 3
  A_Err (*AEIO_InflateOptions)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                               AEIO_Handle flat_optionsH);  // 4
  A_Err (*AEIO_SynchInSpec)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                            A_Boolean* changed0);  // 5
  A_Err (*AEIO_GetActiveExtent)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, const A_Time* tr,
                                A_LRect* extent);  // 6
  A_Err (*AEIO_GetInSpecInfo)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                              AEIO_Verbiage* verbiageP);  // 7
  A_Err (*AEIO_DrawSparseFrame)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                                const AEIO_DrawSparseFramePB* sparse_framePPB, PF_EffectWorld* wP,
                                AEIO_DrawingFlags* draw_flagsP);  // 8
  A_Err (*AEIO_GetDimensions)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                              const AEIO_RationalScale* rs0, A_long* width0,
                              A_long* height0);  // 9
  A_Err (*AEIO_GetDuration)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                            A_Time* tr);                                               // 10
  A_Err (*AEIO_GetTime)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, A_Time* tr);  // 11
  A_Err (*AEIO_GetSound)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, AEIO_SndQuality quality,
                         const AEIO_InterruptFuncs* interrupt0, const A_Time* startPT,
                         const A_Time* durPT, A_u_long start_sampLu, A_u_long num_samplesLu,
                         void* dataPV);  // 12
  A_Err (*AEIO_InqNextFrameTime)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                                 const A_Time* base_time_tr, AEIO_TimeDir time_dir,
                                 A_Boolean* found0, A_Time* key_time_tr0);  // 13
  AEGP_UnusedEntry output_entries[18];  // 14..31: the output side
  A_Err (*AEIO_SeqOptionsDlg)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH,
                              A_Boolean* user_interactedPB0);                       // 32
  AEGP_UnusedEntry aux_channel_entries[6];                                          // 33..38
  A_Err (*AEIO_CloseSourceFiles)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH);  // 39
  A_Err (*AEIO_CountUserData)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, A_u_long typeLu,
                              A_u_long max_sizeLu, A_u_long* num_of_typeLu);  // 40
  AEGP_UnusedEntry AEIO_SetUserData;                                          // 41
  A_Err (*AEIO_GetUserData)(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, A_u_long typeLu,
                            A_u_long indexLu, A_u_long max_sizeLu,
                            AEIO_Handle* dataPH);  // 42
  AEGP_UnusedEntry AEIO_AddMarker;                 // 43
  A_Err (*AEIO_VerifyFileImportable)(AEIO_BasicData* basic_dataP, AEIO_ModuleSignature sig,
                                     const A_UTF16Char* file_pathZ,
                                     A_Boolean* importablePB);  // 44
  AEGP_UnusedEntry AEIO_UserAudioOptionsDialog;                 // 45
  AEGP_UnusedEntry AEIO_AddMarker2;                             // 46
  AEGP_UnusedEntry AEIO_AddMarker3;                             // 47
  AEGP_UnusedEntry AEIO_GetMimeType;                            // 48
};

// ---------------------------------------------------------------- suites
// "AEGP Register Suite", acquired as version 6.
struct AEGP_RegisterSuite5 {
  AEGP_UnusedEntry AEGP_RegisterCommandHook;     // 0
  AEGP_UnusedEntry AEGP_RegisterUpdateMenuHook;  // 1
  A_Err (*AEGP_RegisterDeathHook)(AEGP_PluginID aegp_plugin_id, AEGP_DeathHook death_hook_func,
                                  AEGP_DeathRefcon refconP);  // 2
  AEGP_UnusedEntry AEGP_RegisterVersionHook;                  // 3
  AEGP_UnusedEntry AEGP_RegisterAboutStringHook;              // 4
  AEGP_UnusedEntry AEGP_RegisterAboutHook;                    // 5
  AEGP_UnusedEntry AEGP_RegisterArtisan;                      // 6
  A_Err (*AEGP_RegisterIO)(AEGP_PluginID aegp_plugin_id, AEGP_IORefcon aegp_refconP,
                           const AEIO_ModuleInfo* io_infoP,
                           const AEIO_FunctionBlock4* aeio_fcn_blockP);  // 7
  AEGP_UnusedEntry AEGP_RegisterIdleHook;                                // 8
  AEGP_UnusedEntry AEGP_RegisterTracker;                                 // 9
  AEGP_UnusedEntry AEGP_RegisterInteractiveArtisan;                      // 10
  AEGP_UnusedEntry AEGP_RegisterPresetLocalizationString;                // 11
};

// "AEGP Utility Suite", acquired as version 7.
struct AEGP_UtilitySuite3 {
  AEGP_UnusedEntry before_register[7];  // 0..6: report info, versions, quiet errors, undo
  A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_name,
                                 AEGP_PluginID* plugin_id);  // 7
  A_Err (*AEGP_GetMainHWND)(void* main_hwnd);                // 8: writes an HWND there
  AEGP_UnusedEntry after_main_window[16];                    // 9..24
};

// "PF ANSI Suite", version 1: math functions, then sprintf and strcpy.
struct PF_ANSICallbacksSuite1 {
  AEGP_UnusedEntry math[15];                          // 0..14: atan .. tan
  AEGP_UnusedEntry sprintf;                           // 15 (variadic; never called)
  A_char* (*strcpy)(A_char* dst, const A_char* src);  // 16
  AEGP_UnusedEntry asin;                              // 17
  AEGP_UnusedEntry acos;                              // 18
};

// "AEGP Memory Suite", version 1.
struct AEGP_MemorySuite1 {
  A_Err (*AEGP_NewMemHandle)(AEGP_PluginID plugin_id, const A_char* whatZ, AEGP_MemSize size,
                             AEGP_MemFlag flags, AEGP_MemHandle* memPH);     // 0
  A_Err (*AEGP_FreeMemHandle)(AEGP_MemHandle memH);                          // 1
  A_Err (*AEGP_LockMemHandle)(AEGP_MemHandle memH, void** ptr_to_ptr);       // 2
  A_Err (*AEGP_UnlockMemHandle)(AEGP_MemHandle memH);                        // 3
  A_Err (*AEGP_GetMemHandleSize)(AEGP_MemHandle memH, AEGP_MemSize* sizeP);  // 4
  A_Err (*AEGP_ResizeMemHandle)(const A_char* whatZ, AEGP_MemSize new_size,
                                AEGP_MemHandle memH);                                 // 5
  A_Err (*AEGP_SetMemReportingOn)(A_Boolean turn_OnB);                                // 6
  A_Err (*AEGP_GetMemStats)(AEGP_PluginID plugin_id, A_long* countP, A_long* sizeP);  // 7
};

// "AEGP IO In Suite", acquired as version 5 (the AEGP_IOInSuite4 layout).
struct AEGP_IOInSuite4 {
  A_Err (*AEGP_GetInSpecOptionsHandle)(AEIO_InSpecH inH, void** optionsPPV);  // 0
  A_Err (*AEGP_SetInSpecOptionsHandle)(AEIO_InSpecH inH, void* optionsPV,
                                       void** old_optionsPPV);                            // 1
  AEGP_UnusedEntry AEGP_GetInSpecFilePath;                                                // 2
  AEGP_UnusedEntry AEGP_GetInSpecNativeFPS;                                               // 3
  A_Err (*AEGP_SetInSpecNativeFPS)(AEIO_InSpecH inH, A_Fixed native_fpsF);                // 4
  AEGP_UnusedEntry AEGP_GetInSpecDepth;                                                   // 5
  A_Err (*AEGP_SetInSpecDepth)(AEIO_InSpecH inH, A_short depthS);                         // 6
  AEGP_UnusedEntry AEGP_GetInSpecSize;                                                    // 7
  A_Err (*AEGP_SetInSpecSize)(AEIO_InSpecH inH, AEIO_FileSize sizeLu);                    // 8
  AEGP_UnusedEntry AEGP_GetInSpecInterlaceLabel;                                          // 9
  A_Err (*AEGP_SetInSpecInterlaceLabel)(AEIO_InSpecH inH, const FIEL_Label* interlaceP);  // 10
  AEGP_UnusedEntry AEGP_GetInSpecAlphaLabel;                                              // 11
  A_Err (*AEGP_SetInSpecAlphaLabel)(AEIO_InSpecH inH, const AEIO_AlphaLabel* alphaP);     // 12
  AEGP_UnusedEntry AEGP_GetInSpecDuration;                                                // 13
  A_Err (*AEGP_SetInSpecDuration)(AEIO_InSpecH inH, const A_Time* durationP);             // 14
  AEGP_UnusedEntry AEGP_GetInSpecDimensions;                                              // 15
  A_Err (*AEGP_SetInSpecDimensions)(AEIO_InSpecH inH, A_long widthL, A_long heightL);     // 16
  AEGP_UnusedEntry AEGP_InSpecGetRationalDimensions;                                      // 17
  AEGP_UnusedEntry AEGP_GetInSpecHSF;                                                     // 18
  A_Err (*AEGP_SetInSpecHSF)(AEIO_InSpecH inH, const A_Ratio* hsf);                       // 19
  AEGP_UnusedEntry AEGP_GetInSpecSoundRate;                                               // 20
  A_Err (*AEGP_SetInSpecSoundRate)(AEIO_InSpecH inH, A_FpLong rateF);                     // 21
  AEGP_UnusedEntry AEGP_GetInSpecSoundEncoding;                                           // 22
  A_Err (*AEGP_SetInSpecSoundEncoding)(AEIO_InSpecH inH, AEIO_SndEncoding encoding);      // 23
  AEGP_UnusedEntry AEGP_GetInSpecSoundSampleSize;                                         // 24
  A_Err (*AEGP_SetInSpecSoundSampleSize)(AEIO_InSpecH inH,
                                         AEIO_SndSampleSize bytes_per_sample);            // 25
  AEGP_UnusedEntry AEGP_GetInSpecSoundChannels;                                           // 26
  A_Err (*AEGP_SetInSpecSoundChannels)(AEIO_InSpecH inH, AEIO_SndChannels num_channels);  // 27
  AEGP_UnusedEntry AEGP_AddAuxExtMap;                                                     // 28
  AEGP_UnusedEntry AEGP_SetInSpecEmbeddedColorProfile;                                    // 29
  AEGP_UnusedEntry AEGP_SetInSpecAssignedColorProfile;                                    // 30
};

// "AEGP IO In Suite", acquired as version 6 (the AEGP_IOInSuite5 layout):
// version 5's table, then the native start time and its display. Acquired
// only to tell a start timecode; hosts before AE 12 lack it.
struct AEGP_IOInSuite5 {
  AEGP_IOInSuite4 base;                                                                // 0..30
  AEGP_UnusedEntry AEGP_GetInSpecNativeStartTime;                                      // 31
  A_Err (*AEGP_SetInSpecNativeStartTime)(AEIO_InSpecH inH, const A_Time* startTimeP);  // 32
  AEGP_UnusedEntry AEGP_ClearInSpecNativeStartTime;                                    // 33
  AEGP_UnusedEntry AEGP_GetInSpecNativeDisplayDropFrame;                               // 34
  A_Err (*AEGP_SetInSpecNativeDisplayDropFrame)(AEIO_InSpecH inH,
                                                A_Boolean displayDropFrameB);  // 35
};

// "PF Fill Matte Suite", version 2.
struct PF_FillMatteSuite2 {
  PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                 PF_EffectWorld* world);  // 0: a null rect fills the whole world
  PF_Err (*fill16)(PF_ProgPtr effect_ref, const PF_Pixel16* color, const PF_Rect* dst_rect,
                   PF_EffectWorld* world);            // 1: the same for 16-bit worlds
  AEGP_UnusedEntry premultiply_and_float_entries[5];  // 2..6
};

// ---------------------------------------------------------------- entry point
typedef A_Err (*AEGP_PluginInitFuncPrototype)(SPBasicSuite* pica_basicP, A_long major_versionL,
                                              A_long minor_versionL, AEGP_PluginID aegp_plugin_id,
                                              AEGP_GlobalRefcon* global_refconP);

}  // extern "C"

// Suite names and the versions the plug-in passes to AcquireSuite.
inline constexpr const char* kAEGPRegisterSuite = "AEGP Register Suite";
inline constexpr int32_t kAEGPRegisterSuiteVersion = 6;
inline constexpr const char* kAEGPUtilitySuite = "AEGP Utility Suite";
inline constexpr int32_t kAEGPUtilitySuiteVersion = 7;
inline constexpr const char* kPFANSISuite = "PF ANSI Suite";
inline constexpr int32_t kPFANSISuiteVersion = 1;
inline constexpr const char* kAEGPMemorySuite = "AEGP Memory Suite";
inline constexpr int32_t kAEGPMemorySuiteVersion = 1;
inline constexpr const char* kAEGPIOInSuite = "AEGP IO In Suite";
inline constexpr int32_t kAEGPIOInSuiteVersion = 5;
inline constexpr int32_t kAEGPIOInSuiteStartTimeVersion = 6;
inline constexpr const char* kPFFillMatteSuite = "PF Fill Matte Suite";
inline constexpr int32_t kPFFillMatteSuiteVersion = 2;

// ---------------------------------------------------------------- layout checks
#define ZARN_CHECK_LAYOUT(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "." #field " offset")
#define ZARN_CHECK_SLOT(type, field, index) ZARN_CHECK_LAYOUT(type, field, 8 * (index))

static_assert(sizeof(A_Time) == 8 && alignof(A_Time) == 4);
static_assert(sizeof(A_LRect) == 16);
static_assert(sizeof(AEIO_RationalScale) == 16);
static_assert(sizeof(PF_Pixel) == 4);
static_assert(sizeof(PF_Pixel16) == 8);

static_assert(sizeof(SPBasicSuite) == 7 * 8);
ZARN_CHECK_SLOT(SPBasicSuite, ReleaseSuite, 1);

static_assert(sizeof(AEIO_BasicData) == 32);
ZARN_CHECK_LAYOUT(AEIO_BasicData, pica_basicP, 8);
ZARN_CHECK_LAYOUT(AEIO_BasicData, aegp_plug_id, 16);
ZARN_CHECK_LAYOUT(AEIO_BasicData, aegp_refconPV, 24);

static_assert(sizeof(AEIO_InterruptFuncs) == 24);
static_assert(sizeof(AEIO_DrawSparseFramePB) == 80);
ZARN_CHECK_LAYOUT(AEIO_DrawSparseFramePB, rs, 4);
ZARN_CHECK_LAYOUT(AEIO_DrawSparseFramePB, tr, 20);
ZARN_CHECK_LAYOUT(AEIO_DrawSparseFramePB, duration, 28);
ZARN_CHECK_LAYOUT(AEIO_DrawSparseFramePB, required_region, 36);
ZARN_CHECK_LAYOUT(AEIO_DrawSparseFramePB, inter, 56);

static_assert(sizeof(AEIO_Verbiage) == 192);
ZARN_CHECK_LAYOUT(AEIO_Verbiage, type, 32);
ZARN_CHECK_LAYOUT(AEIO_Verbiage, sub_type, 64);

static_assert(sizeof(AEIO_AlphaLabel) == 10 && alignof(AEIO_AlphaLabel) == 2);
ZARN_CHECK_LAYOUT(AEIO_AlphaLabel, flags, 2);
ZARN_CHECK_LAYOUT(AEIO_AlphaLabel, red, 6);
ZARN_CHECK_LAYOUT(AEIO_AlphaLabel, alpha, 9);
static_assert(sizeof(FIEL_Label) == 18 && alignof(FIEL_Label) == 2);
ZARN_CHECK_LAYOUT(FIEL_Label, version, 4);
ZARN_CHECK_LAYOUT(FIEL_Label, type, 6);
ZARN_CHECK_LAYOUT(FIEL_Label, order, 10);
ZARN_CHECK_LAYOUT(FIEL_Label, reserved, 14);

static_assert(sizeof(PF_EffectWorld) == 120);
ZARN_CHECK_LAYOUT(PF_EffectWorld, world_flags, 16);
ZARN_CHECK_LAYOUT(PF_EffectWorld, data, 24);
ZARN_CHECK_LAYOUT(PF_EffectWorld, rowbytes, 32);
ZARN_CHECK_LAYOUT(PF_EffectWorld, width, 36);
ZARN_CHECK_LAYOUT(PF_EffectWorld, height, 40);
ZARN_CHECK_LAYOUT(PF_EffectWorld, extent_hint, 44);
ZARN_CHECK_LAYOUT(PF_EffectWorld, platform_ref, 64);
ZARN_CHECK_LAYOUT(PF_EffectWorld, reserved_long1, 72);
ZARN_CHECK_LAYOUT(PF_EffectWorld, reserved_long4, 80);
ZARN_CHECK_LAYOUT(PF_EffectWorld, pix_aspect_ratio, 88);
ZARN_CHECK_LAYOUT(PF_EffectWorld, reserved_long2, 96);
ZARN_CHECK_LAYOUT(PF_EffectWorld, origin_x, 104);
ZARN_CHECK_LAYOUT(PF_EffectWorld, dephault, 116);

static_assert(sizeof(AEIO_FileKind) == 8 && alignof(AEIO_FileKind) == 4);
static_assert(sizeof(AEIO_AuxExt) == 12);
static_assert(sizeof(AEIO_ModuleInfo) == 396 && alignof(AEIO_ModuleInfo) == 4);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, name, 4);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, flags, 36);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, flags2, 40);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, max_width, 44);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, max_height, 48);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, num_filetypes, 52);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, num_extensions, 54);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, num_clips, 56);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, create_kind, 60);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, create_ext, 68);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, read_kinds, 72);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, num_aux_extensionsS, 200);
ZARN_CHECK_LAYOUT(AEIO_ModuleInfo, aux_ext, 204);

static_assert(sizeof(AEIO_FunctionBlock4) == 49 * 8);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_GetInSpecInfo, 7);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_DrawSparseFrame, 8);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_GetSound, 12);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_InqNextFrameTime, 13);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_SeqOptionsDlg, 32);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_CloseSourceFiles, 39);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_CountUserData, 40);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_GetUserData, 42);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_VerifyFileImportable, 44);
ZARN_CHECK_SLOT(AEIO_FunctionBlock4, AEIO_GetMimeType, 48);

static_assert(sizeof(AEGP_RegisterSuite5) == 12 * 8);
ZARN_CHECK_SLOT(AEGP_RegisterSuite5, AEGP_RegisterDeathHook, 2);
ZARN_CHECK_SLOT(AEGP_RegisterSuite5, AEGP_RegisterIO, 7);
static_assert(sizeof(AEGP_UtilitySuite3) == 25 * 8);
ZARN_CHECK_SLOT(AEGP_UtilitySuite3, AEGP_RegisterWithAEGP, 7);
ZARN_CHECK_SLOT(AEGP_UtilitySuite3, AEGP_GetMainHWND, 8);
static_assert(sizeof(PF_ANSICallbacksSuite1) == 19 * 8);
ZARN_CHECK_SLOT(PF_ANSICallbacksSuite1, strcpy, 16);
static_assert(sizeof(AEGP_MemorySuite1) == 8 * 8);
ZARN_CHECK_SLOT(AEGP_MemorySuite1, AEGP_FreeMemHandle, 1);
ZARN_CHECK_SLOT(AEGP_MemorySuite1, AEGP_LockMemHandle, 2);
ZARN_CHECK_SLOT(AEGP_MemorySuite1, AEGP_UnlockMemHandle, 3);
static_assert(sizeof(AEGP_IOInSuite4) == 31 * 8);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecOptionsHandle, 1);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecNativeFPS, 4);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecDepth, 6);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecSize, 8);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecInterlaceLabel, 10);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecAlphaLabel, 12);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecDuration, 14);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecDimensions, 16);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecHSF, 19);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecSoundRate, 21);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecSoundEncoding, 23);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecSoundSampleSize, 25);
ZARN_CHECK_SLOT(AEGP_IOInSuite4, AEGP_SetInSpecSoundChannels, 27);
static_assert(sizeof(AEGP_IOInSuite5) == 36 * 8);
ZARN_CHECK_SLOT(AEGP_IOInSuite5, AEGP_SetInSpecNativeStartTime, 32);
ZARN_CHECK_SLOT(AEGP_IOInSuite5, AEGP_SetInSpecNativeDisplayDropFrame, 35);
static_assert(sizeof(PF_FillMatteSuite2) == 7 * 8);
ZARN_CHECK_SLOT(PF_FillMatteSuite2, fill16, 1);

#undef ZARN_CHECK_SLOT
#undef ZARN_CHECK_LAYOUT
