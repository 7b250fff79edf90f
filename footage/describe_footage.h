// Tells the host what an opened record holds: size and duration, the picture
// format when the video opened, the interlace label always, the sound format
// when there is sound. Stops at the first error.
#pragma once

#include "footage/footage_options.h"
#include "shell/base/host_api.h"

A_Err DescribeFootage(const AEGP_IOInSuite4& io, AEIO_InSpecH spec, const FootageOptions& record);
