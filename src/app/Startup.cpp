// Start-up: the fixed texts, the upgrade or full-installation decision, the first window.
#include <string>

#include "app/Main.h"
#include "platform/SysEnvVar.h"

namespace cvi {
namespace {

void FullInstallSetup(Installer& in) {
  in.state.FullInstallMode = true;
  in.ui.SetCaption(Form::frmInstall, Ctl::lblTitle,
                   std::string("Install CelvaraStudio version: ") + kProductVersion);
}

void UpgradeSetup(Installer& in) {
  InstallerState& s = in.state;
  Forms& ui = in.ui;
  const Form f = Form::frmInstall;
  s.UpgradeMode = true;
  ui.SetCaption(f, Ctl::lblSize, "(Download size is from 350KB to 1.5MB)");
  ui.SetCaption(f, Ctl::txtInstallPath, s.InstallPath);
  ui.SetEnabled(f, Ctl::txtInstallPath, false);
  ui.SetVisible(f, Ctl::cmdChange, false);
  ui.SetVisible(f, Ctl::frameShortcuts, false);
  ui.SetCaption(f, Ctl::lblInfo,
                "Since CelvaraStudio is already installed at the path below, this will be an "
                "Upgrade to the new version.");
  ui.SetCaption(f, Ctl::cmdInstall, "UPGRADE");
  ui.SetCaption(f, Ctl::lblTitle, std::string("Upgrade CelvaraStudio to: ") + kProductVersion);
  ui.SetTop(f, Ctl::cmdInstall, ui.Top(f, Ctl::cmdInstall) - 40.0);
}

}  // namespace

void Startup(Installer& in) {
  InstallerState& s = in.state;
  s.MessageTitle = "CelvaraStudio Install/Upgrade";
  s.DriveTypeNames = {"unknown drive",
                      "non-existent disk-drive",
                      "removable disk (floppy, USB, etc.)",
                      "fixed-drive (local to current PC)",
                      "Network (remote) drive",
                      "CD-rom drive",
                      "RAM disk"};
  in.ui.Load(Form::frmInstall);
  s.ProductEnvVarName = "CelvaraStudio";
  s.ProductEnvVarFound = SysEnvVarExists(in.os.registry, s.ProductEnvVarName);

  if (!s.ProductEnvVarFound) {
    FullInstallSetup(in);
  } else {
    GetSysEnvVar(in.os.registry, s.ProductEnvVarName, s.InstallPath);
    s.ProductExePath = s.InstallPath + "\\" + kProductExeName;
    if (!in.os.files.FindEntry(s.ProductExePath, EntryKind::OrdinaryFile).empty()) {
      UpgradeSetup(in);
    } else {
      FullInstallSetup(in);
    }
  }
  in.ui.Show(Form::frmInstall);
}

void Main(Installer& in) {
  Startup(in);
  MainLoop(in);
}

}  // namespace cvi
