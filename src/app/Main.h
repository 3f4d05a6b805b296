// The installer's run: start-up, then the main loop until the run ends.
#pragma once

#include "core/Installer.h"

namespace cvi {

// Fills the state, decides upgrade or full installation and shows frmInstall.
void Startup(Installer& installer);
// Waits, dispatching window events, and acts on the flags until the run ends.
void MainLoop(Installer& installer);
// Startup followed by MainLoop; returns with every window unloaded.
void Main(Installer& installer);

}  // namespace cvi
