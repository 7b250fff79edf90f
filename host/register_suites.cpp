// The registration suites (Register, Utility) and the ANSI suite's strcpy.
#include <cstring>

#include "host/host_state.h"
#include "host/unused_entries.h"

namespace standin {
namespace {

A_Err RegisterDeathHook(AEGP_PluginID id, AEGP_DeathHook hook, AEGP_DeathRefcon refcon) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    std::string text = "id " + std::to_string(id);
    if (auto fault = s.Enter(Op::RegisterDeathHook)) {
      return s.Log(Op::RegisterDeathHook, text, fault->err);
    }
    if (hook == nullptr) {
      s.Problem("AEGP_RegisterDeathHook with a null hook");
      return s.Log(Op::RegisterDeathHook, text, A_Err_PARAMETER);
    }
    Registration& reg = s.registration();
    reg.death_hook_registered = true;
    reg.death_hook = hook;
    s.death_refcon = refcon;
    return s.Log(Op::RegisterDeathHook, text, A_Err_NONE);
  });
}

A_Err RegisterIO(AEGP_PluginID id, AEGP_IORefcon refcon, const AEIO_ModuleInfo* info,
                 const AEIO_FunctionBlock4* block) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    std::string text = "id " + std::to_string(id);
    if (info != nullptr)
      text += " " + std::string(info->name, strnlen(info->name, sizeof info->name));
    if (auto fault = s.Enter(Op::RegisterIO)) return s.Log(Op::RegisterIO, text, fault->err);
    if (info == nullptr || block == nullptr) {
      s.Problem("AEGP_RegisterIO without module info or function block");
      return s.Log(Op::RegisterIO, text, A_Err_PARAMETER);
    }
    // The records live only until the entry point returns: keep copies.
    Registration& reg = s.registration();
    reg.io_registered = true;
    reg.module_info = *info;
    reg.function_block = *block;
    s.io_refcon = refcon;
    return s.Log(Op::RegisterIO, text, A_Err_NONE);
  });
}

A_Err RegisterWithAEGP(AEGP_GlobalRefcon, const A_char* name, AEGP_PluginID* id) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    std::string text = name ? name : "(null)";
    if (auto fault = s.Enter(Op::RegisterWithAEGP)) {
      return s.Log(Op::RegisterWithAEGP, text, fault->err);
    }
    if (name == nullptr || id == nullptr) {
      s.Problem("AEGP_RegisterWithAEGP without a name or an out id");
      return s.Log(Op::RegisterWithAEGP, text, A_Err_PARAMETER);
    }
    Registration& reg = s.registration();
    reg.name_registered = true;
    reg.registered_name = name;
    reg.registered_id = kRegisteredId;
    *id = kRegisteredId;
    return s.Log(Op::RegisterWithAEGP, text, A_Err_NONE);
  });
}

// The host's main window: a console host has none.
A_Err GetMainHWND(void* main_hwnd) {
  return WithHost<A_Err>(A_Err_GENERIC, [&](Host::State& s) {
    if (main_hwnd == nullptr) {
      s.Problem("AEGP_GetMainHWND without storage for the window");
      return A_Err_PARAMETER;
    }
    std::memset(main_hwnd, 0, sizeof(void*));
    return A_Err_NONE;
  });
}

A_char* AnsiStrcpy(A_char* dst, const A_char* src) {
  return WithHost<A_char*>(nullptr, [&](Host::State& s) -> A_char* {
    std::string text = src ? src : "(null)";
    if (auto fault = s.Enter(Op::AnsiStrcpy)) {
      // strcpy has no error result: a failed copy copies nothing and
      // answers null.
      s.Log(Op::AnsiStrcpy, text, fault->err);
      return nullptr;
    }
    if (dst == nullptr || src == nullptr) {
      s.Problem("strcpy with a null argument");
      s.Log(Op::AnsiStrcpy, text, A_Err_PARAMETER);
      return nullptr;
    }
    s.Log(Op::AnsiStrcpy, text, A_Err_NONE);
    return std::strcpy(dst, src);
  });
}

}  // namespace

const AEGP_RegisterSuite5* RegisterSuiteTable() {
  static const AEGP_RegisterSuite5 table = [] {
    AEGP_RegisterSuite5 t;
    FillWithUnused(&t, SuiteId::Register);
    t.AEGP_RegisterDeathHook = &RegisterDeathHook;
    t.AEGP_RegisterIO = &RegisterIO;
    return t;
  }();
  return &table;
}

const AEGP_UtilitySuite3* UtilitySuiteTable() {
  static const AEGP_UtilitySuite3 table = [] {
    AEGP_UtilitySuite3 t;
    FillWithUnused(&t, SuiteId::Utility);
    t.AEGP_RegisterWithAEGP = &RegisterWithAEGP;
    t.AEGP_GetMainHWND = &GetMainHWND;
    return t;
  }();
  return &table;
}

const PF_ANSICallbacksSuite1* ANSISuiteTable() {
  static const PF_ANSICallbacksSuite1 table = [] {
    PF_ANSICallbacksSuite1 t;
    FillWithUnused(&t, SuiteId::ANSI);
    t.strcpy = &AnsiStrcpy;
    return t;
  }();
  return &table;
}

}  // namespace standin
