// Reads a machine-wide environment variable straight from the registry.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace cvi {

// True with the variable's text (its data minus the last byte, unexpanded) in `value`; false on
// any failure, leaving `value` as it was.
bool GetSysEnvVar(Registry& registry, const std::string& name, std::string& value);
bool SysEnvVarExists(Registry& registry, const std::string& name);

}  // namespace cvi
