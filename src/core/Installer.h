// What every procedure of the installer works with: the shared state, the windows, the platform.
#pragma once

#include "core/BuildConfig.h"
#include "core/InstallerState.h"
#include "platform/Platform.h"
#include "ui/Forms.h"

namespace cvi {

constexpr const char* kProductExeName = "CelvaraStudio.exe";

struct Installer {
  InstallerState& state;
  Forms& ui;
  Platform& os;
};

}  // namespace cvi
