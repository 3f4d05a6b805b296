// Names the installation package, fetches it under a wait cursor and reports how the fetch ended.
#include "download/PackageRequest.h"

#include <cstdint>

namespace cvi {
namespace {

// The texts join their lines with a bare carriage return, as the label expects.
constexpr const char* kCR = "\r";
constexpr std::int32_t kMinimumPackageBytes = 1000;

std::string MissingFileMessage(const std::string& localPath) {
  return std::string("Download unsuccessful; installation file not found: ") + kCR + "      " +
         localPath + kCR + "Please contact " + kSupportEmail +
         " and inform him of the 'not found' file above.";
}

void ReportFailure(Installer& in, const std::string& caption) {
  in.ui.SetCaption(Form::frmInstall, Ctl::lblDownLoadError, caption);
  in.ui.SetVisible(Form::frmInstall, Ctl::lblDownLoadError, true);
}

// The full and the upgrade package differ only in their name and the field that keeps it.
bool DownloadPackage(Installer& in,
                     const char* namePrefix,
                     std::string InstallerState::*nameField) {
  in.ui.SetVisible(Form::frmInstall, Ctl::lblDownLoadError, false);
  in.ui.SetCaption(Form::frmInstall, Ctl::lblDownLoadError, "");

  const std::string name = std::string(namePrefix) + kProductVersion + ".exe";
  in.state.*nameField = name;
  const std::string url = kDownloadBaseUrl + name;
  const std::string localPath = in.state.InstallPath + "\\" + name;

  // The pointer is back before any message shows, whatever the transfer's outcome.
  const int pointer = in.os.screen.MousePointer();
  in.os.screen.SetMousePointer(Screen::kHourglass);
  const DownloadResult result = DownloadFile(in, url, localPath, kMinimumPackageBytes);
  in.os.screen.SetMousePointer(pointer);

  if (result != DownloadResult::DownloadOk) {
    ReportFailure(in, DownloadFailureMessage(result, url));
    return false;
  }
  if (in.os.files.FindEntry(localPath, EntryKind::OrdinaryFile).empty()) {
    ReportFailure(in, MissingFileMessage(localPath));
    return false;
  }
  return true;
}

}  // namespace

std::string DownloadFailureMessage(DownloadResult result, const std::string& url) {
  switch (result) {
    case DownloadResult::DownloadOk:
      return "";
    case DownloadResult::DownloadNoSession:
      return "Sorry, download not successful (Windows could not allocate internet resouces).  We "
             "suggest you try clicking 'Install' again. This error should not occur.";
    case DownloadResult::DownloadNotRetrieved:
      return std::string("Sorry, download not successful; could not retrieve the URL: ") + kCR +
             "     " + url + kCR +
             "Please verify that you have a good internet connection, and try again; if it still "
             "fails, please contact " +
             kSupportEmail + " and inform him of this URL error.";
    case DownloadResult::DownloadIoError:
      return std::string(
                 "Download I/O error.  Please try again; it could be an intermittent "
                 "internet-connection problem. If it still fails, please contact ") +
             kSupportEmail + " and inform him of this 'I/O Error' message.";
    case DownloadResult::DownloadReadError:
      return std::string(
                 "Down 'Read' error.  Please try again; it could be an intermittent "
                 "internet-connection problem. If it still fails, please contact ") +
             kSupportEmail + " and inform him of this 'Read Error' message.";
    case DownloadResult::DownloadCancelled:
      break;
  }
  return "Download CANCEL by user request.";
}

bool DownloadFullPackage(Installer& in) {
  return DownloadPackage(in, "CelvaraStudio_", &InstallerState::FullPackageName);
}

bool DownloadUpgradePackage(Installer& in) {
  return DownloadPackage(in, "CelvaraStudio_Upgrade_", &InstallerState::UpgradePackageName);
}

}  // namespace cvi
