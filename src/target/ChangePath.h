// "Change Drive or Path": the folder dialog, then validation of the chosen folder.
#pragma once

#include "core/Installer.h"

namespace cvi {

void cmdChange_Click(Installer& installer);

}  // namespace cvi
