// The headless half of scripts/demo: a full installation into a folder with a space, then an
// upgrade of it, each driven through the real windows, with a screenshot of every window state.
//
//   demo_driver INSTALLER.EXE
//
// Prints what happened and where the pictures are; the exit code is 1 when any step failed.
#include <cstdio>
#include <string>

#include "Driver.h"

namespace {

using namespace cvi;
using namespace cvi::e2e;

constexpr const char* kFolder = "C:\\Demo Apps";
constexpr const char* kProduct = "C:\\Demo Apps\\CelvaraStudio";
constexpr const char* kProductWindowTitle = "CelvaraStudio v3.9";
constexpr DWORD kStepTimeoutMs = 60000;

bool Fail(const std::string& step) {
  std::printf("demo: FAILED: %s\n", step.c_str());
  return false;
}

void Shot(HWND window, const std::string& name) {
  const std::string path = SaveScreenshot(window, name);
  std::printf("demo:   screenshot %s\n", path.empty() ? "could not be saved" : path.c_str());
}

HWND ExtractorDialog() {
  for (HWND window : TopLevelWindows())
    if (Visible(window) && WindowText(window).rfind("WinZip Self-Extractor - ", 0) == 0)
      return window;
  return nullptr;
}

// One run of the installer: INSTALL (or UPGRADE), the completion window, then `finalButton`.
bool RunOnce(const std::string& installer,
             const std::string& prefix,
             bool typePath,
             Ctl finalButton) {
  Process process;
  if (!process.Start("\"" + installer + "\""))
    return Fail("start the installer");
  HWND form = WaitForWindow(kInstallWindowTitle, process.Id(), 15000);
  if (!form)
    return Fail("the installer window did not appear");
  Sleep(300);
  Shot(form, prefix + "1-start");
  if (typePath)
    SetWindowTextA(FindChild(form, Ctl::txtInstallPath), kFolder);
  Click(FindChild(form, Ctl::cmdInstall));
  if (!WaitUntil([&] { return WindowText(FindChild(form, Ctl::lblBytesDownloaded)) > "0"; },
                 kStepTimeoutMs))
    return Fail("the download did not start");
  Shot(form, prefix + "2-downloading");
  if (!WaitUntil([] { return ExtractorDialog() != nullptr; }, kStepTimeoutMs))
    return Fail("the self-extractor did not appear");
  Shot(nullptr, prefix + "3-extracting");
  HWND done = WaitForWindow(kLaunchWindowTitle, process.Id(), kStepTimeoutMs);
  if (!done)
    return Fail("no completion window");
  Sleep(300);
  Shot(done, prefix + "4-completion");
  std::printf("demo:   %s\n", WindowText(FindChild(done, Ctl::lblVersion)).c_str());
  Click(FindChild(done, finalButton));
  if (!process.WaitForExit(10000))
    return Fail("the installer did not end");
  HWND product = WaitForWindow(kProductWindowTitle, 0, 15000);
  if (!product)
    return Fail("the product's window did not appear");
  Sleep(300);
  Shot(product, prefix + "5-product-started");
  Close(product);
  return true;
}

bool Demo(const std::string& installer) {
  DeleteSysEnvVar("CelvaraStudio");
  DeleteTree(kFolder);
  if (!CreateFolders(kFolder))
    return Fail(std::string("create ") + kFolder);
  DeleteFileA("C:\\decoy-ran.txt");

  std::printf("demo: full installation into \"%s\"\n", kFolder);
  if (!RunOnce(installer, "full-", true, Ctl::cmdFinish))
    return false;
  // The product records each start: its raw command line and its first argument.
  const std::string expected = std::string("arg1=") + kProduct + "\r\n";
  std::string launched = ReadWholeFile(std::string(kProduct) + "\\launched.txt");
  if (launched.find(expected) == std::string::npos)
    return Fail("the product did not get its folder as its argument: " + launched);
  std::printf("demo: CelvaraStudio installed in %s and started with \"%s\" as its argument\n",
              kProduct, kProduct);

  // What the product's own setup leaves behind: the machine-wide variable naming its folder.
  if (!SetSysEnvVar("CelvaraStudio", kProduct))
    return Fail("set the machine-wide variable");
  std::printf("demo: upgrade of %s (machine-wide variable CelvaraStudio set)\n", kProduct);
  if (!RunOnce(installer, "upgrade-", false, Ctl::cmdLaunch))
    return false;
  if (!FileExists(std::string(kProduct) + "\\CVUpgrade_v3.9.txt"))
    return Fail("the upgrade package was not unpacked");
  launched = ReadWholeFile(std::string(kProduct) + "\\launched.txt");
  if (launched.find(expected, launched.find(expected) + 1) == std::string::npos)
    return Fail("the upgraded product did not start with its folder: " + launched);
  std::printf("demo: upgraded CelvaraStudio started again with \"%s\" as its argument\n", kProduct);
  DeleteSysEnvVar("CelvaraStudio");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: demo_driver INSTALLER.EXE\n");
    return 2;
  }
  const bool ok = Demo(ToWindowsPath(argv[1]));
  std::printf("demo: screenshots in %s\n", ArtifactsFolder().c_str());
  std::fflush(stdout);
  return ok ? 0 : 1;
}
