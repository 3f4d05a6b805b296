// The handlers of the two completion windows: they check the product and raise flags.
#pragma once

#include "core/Installer.h"

namespace cvi {

void cmdLaunch_Click(Installer& installer);
void cmdFinish_Click(Installer& installer);
void cmdExit_Click(Installer& installer);
// The unload handler of frmLaunch and frmLaunchFull; never refuses.
void LaunchWindow_Form_Unload(Installer& installer);

}  // namespace cvi
