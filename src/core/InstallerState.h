// The one state shared by every part of the installer for the whole run.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"

namespace cvi {

struct InstallerState {
  // Flags. Each is raised by one kind of event and tested by the main loop or a procedure.
  bool CancelRequested = false;
  bool QuitRequested = false;
  bool LaunchWindowClosed = false;
  bool UpgradeMode = false;
  bool FullInstallMode = false;
  bool InstallCompleted = false;
  bool LaunchRequested = false;
  bool InstallInProgress = false;
  // "Change Drive or Path" is between its click and the end of its validation.
  bool ChangeInProgress = false;
  bool ProductEnvVarFound = false;

  std::string MessageTitle;
  std::string ProductEnvVarName;
  std::string InstallPath;  // the product folder itself
  std::string ProductExePath;
  // Entry n names the drive type n of GetDriveTypeA (0 to 6).
  std::array<std::string, 7> DriveTypeNames;
  std::int32_t DriveType = 0;
  std::string UpgradePackageName;
  std::string FullPackageName;
  std::string PackagePath;
  std::string ExtractTargetDir;
  std::int16_t ExtractResult = 0;
  // The verified package, held so that nobody can swap it before its process has started.
  std::unique_ptr<HeldFile> HeldPackage;
};

}  // namespace cvi
