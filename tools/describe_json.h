// The footage description as zarn-host prints it: one JSON object with the
// import's result and every value the plug-in told the host.
#pragma once

#include <string>

#include "tools/tool_session.h"

std::string DescribeJson(ToolSession& session, A_Err result);
