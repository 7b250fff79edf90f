// Every exported function and callback runs its body through CallbackEdge so
// that no exception reaches the host: a missing suite becomes 516, running out
// of memory becomes A_Err_ALLOC, anything else A_Err_GENERIC.
#pragma once

#include <new>

#include "host_abi/host_api.h"
#include "host_abi/suite_cache.h"

template <typename Body>
A_Err CallbackEdge(Body&& body) noexcept {
  try {
    return body();
  } catch (const SuiteMissing& missing) {
    return missing.err;
  } catch (const std::bad_alloc&) {
    return A_Err_ALLOC;
  } catch (...) {
    return A_Err_GENERIC;
  }
}
