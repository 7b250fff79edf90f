// The function block's fixed answers: entries the plug-in takes no part in
// still need a function, because the host calls every non-null entry. Each
// ignores its arguments and runs through the callback edge like every
// callback.
#pragma once

#include "host_abi/callback_edge.h"
#include "host_abi/host_api.h"

namespace stub_detail {
template <A_Err kResult, typename Fn>
struct Fixed;
template <A_Err kResult, typename... Args>
struct Fixed<kResult, A_Err (*)(Args...)> {
  static A_Err Call(Args...) noexcept {
    return CallbackEdge([] { return kResult; });
  }
};
}  // namespace stub_detail

// Answers 0: "done, nothing to do". `Fn` is the entry's function pointer type.
template <typename Fn>
inline constexpr Fn kReturnZeroStub = &stub_detail::Fixed<A_Err_NONE, Fn>::Call;

// Answers 9992: the host uses its own default handling.
template <typename Fn>
inline constexpr Fn kDefaultHandlingStub =
    &stub_detail::Fixed<AEIO_Err_USE_DFLT_CALLBACK, Fn>::Call;

// Registered as the death hook: nothing to tear down at shutdown.
A_Err Zarn_DeathHook(AEGP_GlobalRefcon plugin_refcon, AEGP_DeathRefcon refcon);

// The footage carries no user data: a count of 0, and no data handle.
A_Err Zarn_CountUserData(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, A_u_long typeLu,
                         A_u_long max_sizeLu, A_u_long* num_of_typeLu);
A_Err Zarn_GetUserData(AEIO_BasicData* basic_dataP, AEIO_InSpecH specH, A_u_long typeLu,
                       A_u_long indexLu, A_u_long max_sizeLu, AEIO_Handle* dataPH);

// Accepts every file offered, without looking at it.
A_Err Zarn_VerifyFileImportable(AEIO_BasicData* basic_dataP, AEIO_ModuleSignature sig,
                                const A_UTF16Char* file_pathZ, A_Boolean* importablePB);
