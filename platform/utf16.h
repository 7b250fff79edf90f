// UTF-16 to UTF-8, shared by the platforms that have no converter of their own.
#pragma once

#include <string>

#include "host_abi/host_api.h"

// Converts NUL-terminated UTF-16 to UTF-8. Surrogate pairs become one code
// point; an unpaired surrogate becomes U+FFFD. Empty for a null pointer.
std::string Utf16ToUtf8(const A_UTF16Char* text);
