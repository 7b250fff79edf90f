// Tells the host what an opened record holds: size and duration, the picture
// format when the video opened, the interlace label always, the sound format
// when there is sound. Stops at the first error.
#pragma once

#include "footage/footage_options.h"
#include "host_abi/host_api.h"

A_Err DescribeFootage(const AEGP_IOInSuite4& io, AEIO_InSpecH spec, const FootageOptions& record);

// Tells the start timecode, when the record holds one and the host has the
// IO In suite's version 6 (`io6`, null otherwise); nothing to tell is no error.
A_Err DescribeStartTime(const AEGP_IOInSuite5* io6, AEIO_InSpecH spec,
                        const FootageOptions& record);
