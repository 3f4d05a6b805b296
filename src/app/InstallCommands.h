// The handlers behind INSTALL, CANCEL and the close command of frmInstall.
#pragma once

#include <cstdint>
#include <string>

#include "core/Installer.h"

namespace cvi {

void cmdInstall_Click(Installer& installer);
// One installation attempt: validation (full installation only), download, extraction.
void InstallSequence(Installer& installer);
// The caption of lblInProcess for an extraction result: only exactly True (-1) completes.
const char* ExtractionOutcome(std::int16_t ExtractResult);
void cmdCancel_Click(Installer& installer);
// The unload handler of frmInstall; true refuses the unload.
bool frmInstall_Form_Unload(Installer& installer);
// The user's session ends during an attempt: the download's temporary file goes at once.
void frmInstall_SessionEnding(Installer& installer);

}  // namespace cvi
