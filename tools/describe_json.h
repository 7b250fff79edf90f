// The footage description as zarn-host prints it: one JSON object with the
// import's result and every value the plug-in told the host.
#pragma once

#include <optional>
#include <string>

#include "tools/tool_session.h"

// `user_interacted`, when given, is what the options call answered.
std::string DescribeJson(ToolSession& session, A_Err result,
                         std::optional<bool> user_interacted = std::nullopt);
