// Decides whether a typed or chosen path can take the installation, and which kind it will be.
#pragma once

#include <string>

#include "core/Installer.h"

namespace cvi {

// True when the path is usable: InstallPath holds the product folder, the mode flags are set and
// the product's folder tree exists as far as it could be made. False when the installation must
// stop; lblPathError then says why. `alteredByCodePage` tells that the typed path held characters
// the code page lacks, so that `path` is only what the system would make of it.
bool ValidateInstallPath(Installer& installer,
                         const std::string& path,
                         bool alteredByCodePage = false);

}  // namespace cvi
