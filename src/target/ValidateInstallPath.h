// Decides whether a typed or chosen path can take the installation, and which kind it will be.
#pragma once

#include <string>

#include "core/Installer.h"

namespace cvi {

// True when the path is usable: InstallPath holds the product folder, the mode flags are set and
// the product's folder tree exists as far as it could be made. False when the installation must
// stop; lblPathError then says why.
bool ValidateInstallPath(Installer& installer, const std::string& path);

}  // namespace cvi
