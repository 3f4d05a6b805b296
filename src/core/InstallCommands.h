// The handlers behind INSTALL, CANCEL and the close command of frmInstall.
#pragma once

#include "core/Installer.h"

namespace cvi {

void cmdInstall_Click(Installer& installer);
void cmdCancel_Click(Installer& installer);
// The unload handler of frmInstall; true refuses the unload.
bool frmInstall_Form_Unload(Installer& installer);

}  // namespace cvi
