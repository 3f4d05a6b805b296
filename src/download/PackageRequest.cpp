// Names the installation package, fetches it under a wait cursor and reports how the fetch ended.
#include "download/PackageRequest.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/PackageDigests.h"

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

std::string VerificationMessage() {
  return std::string(
             "Download verification error.  The downloaded installation file is not the one this "
             "installer expects; it may have been damaged or altered on the way. Please try "
             "again; if it still fails, please contact ") +
         kSupportEmail + " and inform him of this 'Verification Error' message.";
}

// Compares the held file's digest with the pinned one, hex digits in either case.
bool HasDigest(HeldFile& file, const std::string& pinnedHex) {
  std::uint8_t digest[HeldFile::kSha256Size];
  if (!file.Sha256(digest) || pinnedHex.size() != 2 * HeldFile::kSha256Size)
    return false;
  for (std::size_t i = 0; i < HeldFile::kSha256Size; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", digest[i]);
    for (int k = 0; k < 2; ++k) {
      if (std::tolower(static_cast<unsigned char>(pinnedHex[2 * i + k])) != hex[k])
        return false;
    }
  }
  return true;
}

void ReportFailure(Installer& in, const std::string& caption) {
  in.ui.SetCaption(Form::frmInstall, Ctl::lblDownLoadError, caption);
  in.ui.SetVisible(Form::frmInstall, Ctl::lblDownLoadError, true);
}

// The full and the upgrade package differ only in their name and the field that keeps it.
bool DownloadPackage(Installer& in,
                     const std::string& baseUrl,
                     const char* namePrefix,
                     std::string InstallerState::*nameField,
                     const char* pinnedSha256) {
  in.ui.SetVisible(Form::frmInstall, Ctl::lblDownLoadError, false);
  in.ui.SetCaption(Form::frmInstall, Ctl::lblDownLoadError, "");

  const std::string name = std::string(namePrefix) + kProductVersion + ".exe";
  in.state.*nameField = name;
  const std::string url = baseUrl + name;
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
  // The installer starts only the package it was built for. The file stays held from this check
  // until its process has started, so that it cannot be swapped in between.
  std::unique_ptr<HeldFile> package = in.os.files.HoldForReading(localPath);
  if (!package || !HasDigest(*package, pinnedSha256)) {
    package.reset();
    in.os.files.DeleteFile(localPath);
    ReportFailure(in, VerificationMessage());
    return false;
  }
  in.state.HeldPackage = std::move(package);
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

bool DownloadPackageFrom(Installer& in, const std::string& baseUrl, bool upgrade) {
  if (upgrade) {
    return DownloadPackage(in, baseUrl, "CelvaraStudio_Upgrade_",
                           &InstallerState::UpgradePackageName, kUpgradePackageSha256);
  }
  return DownloadPackage(in, baseUrl, "CelvaraStudio_", &InstallerState::FullPackageName,
                         kFullPackageSha256);
}

bool DownloadFullPackage(Installer& in) {
  return DownloadPackageFrom(in, kDownloadBaseUrl, false);
}

bool DownloadUpgradePackage(Installer& in) {
  return DownloadPackageFrom(in, kDownloadBaseUrl, true);
}

}  // namespace cvi
