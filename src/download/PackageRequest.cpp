// Names the installation package, fetches it under a wait cursor and reports how the fetch ended.
#include "download/PackageRequest.h"

#include <cctype>
#include <cstdint>
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

// What a network that wants its users to sign in first sends in place of any address.
constexpr const char* kWebPageSentence =
    "A web page arrived instead of the installation file, perhaps the sign-in page of the network "
    "you are on (as in hotels or airports); sign in with your web browser, then click 'Install' "
    "again.";

// The cause of a failed fetch in one plain sentence; "" when the network gave no reason to name.
const char* NetProblemSentence(NetProblem problem) {
  switch (problem) {
    case NetProblem::CertUntrusted:
      return "The server's security certificate is not trusted by this computer, so the "
             "connection was refused.";
    case NetProblem::CertWrongName:
      return "The server's security certificate is made out to another address, so the "
             "connection was refused.";
    case NetProblem::CertDates:
      return "The server's security certificate has expired or is not yet valid (is this "
             "computer's date right?), so the connection was refused.";
    case NetProblem::ProxySignIn:
      return "The proxy server of your network asks for a user name and password, which Windows "
             "could not give it; please ask your network administrator.";
    case NetProblem::ProxyUnreachable:
      return "The proxy server set in Windows' internet settings cannot be reached.";
    case NetProblem::NameNotKnown:
      return "The server's name is not known: this computer may not be connected to the "
             "internet.";
    case NetProblem::Refused:
      return "The server refused the connection, or could not be reached.";
    case NetProblem::NoAnswer:
      return "The server did not answer in time.";
    case NetProblem::Unknown:
      break;
  }
  return "";
}

bool StartsWithNoCase(const std::string& text, std::size_t from, const char* prefix) {
  for (; *prefix != '\0'; ++prefix, ++from) {
    if (from >= text.size() ||
        std::tolower(static_cast<unsigned char>(text[from])) != static_cast<unsigned char>(*prefix))
      return false;
  }
  return true;
}

// A web page came instead of the package: announced as one, or starting like one.
bool WebPageArrived(const Downloaded& got) {
  const std::size_t start = got.head.find_first_not_of(" \t\r\n");
  return StartsWithNoCase(got.contentType, 0, "text/html") ||
         (start != std::string::npos && (StartsWithNoCase(got.head, start, "<!doctype html") ||
                                         StartsWithNoCase(got.head, start, "<html")));
}

std::string WithCause(const std::string& caption, const std::string& cause) {
  return cause.empty() ? caption : caption + kCR + cause;
}

// Whatever came instead of the package, named when it was a web page.
std::string VerificationFailure(const Downloaded& got) {
  return WithCause(VerificationMessage(), WebPageArrived(got) ? kWebPageSentence : "");
}

// The prescribed I/O message first, then what it would not tell.
std::string IoFailure(const std::string& cause) {
  return WithCause(DownloadFailureMessage(DownloadResult::DownloadIoError, ""), cause);
}

// Compares the held file's digest with the pinned one, hex digits in either case.
bool HasDigest(HeldFile& file, const std::string& pinnedHex) {
  std::uint8_t digest[HeldFile::kSha256Size];
  if (!file.Sha256(digest) || pinnedHex.size() != 2 * HeldFile::kSha256Size)
    return false;
  static constexpr char kHexDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < HeldFile::kSha256Size; ++i) {
    const char hex[2] = {kHexDigits[digest[i] >> 4], kHexDigits[digest[i] & 0xF]};
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

std::string FailureCaption(DownloadResult result,
                           const std::string& url,
                           const std::string& localPath,
                           const Downloaded& got) {
  if (result == DownloadResult::DownloadNotRetrieved) {
    return WithCause(DownloadFailureMessage(result, url),
                     WebPageArrived(got) ? kWebPageSentence : NetProblemSentence(got.netProblem));
  }
  if (result != DownloadResult::DownloadIoError)
    return DownloadFailureMessage(result, url);
  const std::size_t slash = localPath.find_last_of('\\');
  const std::string folder = localPath.substr(0, slash == std::string::npos ? 0 : slash);
  switch (got.problem) {
    case IoProblem::FileInUse:
      return FileInUseMessage(got.inUsePath);
    case IoProblem::NoRoom:
      return NoRoomMessage(folder, got.announced, got.freeBytes);
    case IoProblem::WrongLength:
      return VerificationFailure(got);
    case IoProblem::FolderUnwritable:
      return FolderMessage(folder);
    case IoProblem::None:
      break;
  }
  return DownloadFailureMessage(result, url);
}

// The full and the upgrade package differ only in their name and the field that keeps it.
bool DownloadPackage(Installer& in,
                     const std::string& baseUrl,
                     const char* namePrefix,
                     std::string InstallerState::*nameField,
                     const char* pinnedSha256,
                     long long pinnedSize,
                     TransferLimits limits) {
  // A body that is not the package's length is not the package, and is never written beyond it.
  limits.bodyBytes = pinnedSize;
  in.ui.SetVisible(Form::frmInstall, Ctl::lblDownLoadError, false);
  in.ui.SetCaption(Form::frmInstall, Ctl::lblDownLoadError, "");

  const std::string name = std::string(namePrefix) + kProductVersion + ".exe";
  in.state.*nameField = name;
  const std::string url = baseUrl + name;
  const std::string localPath = in.state.InstallPath + "\\" + name;

  // The pointer is back before any message shows, whatever the transfer's outcome.
  const int pointer = in.os.screen.MousePointer();
  in.os.screen.SetMousePointer(Screen::kHourglass);
  Downloaded got;
  const DownloadResult result = DownloadFile(in, url, localPath, kMinimumPackageBytes, got, limits);
  in.os.screen.SetMousePointer(pointer);

  if (result != DownloadResult::DownloadOk) {
    ReportFailure(in, FailureCaption(result, url, localPath, got));
    return false;
  }
  // The installer starts only the package it was built for. The digest is taken of the held file
  // itself, which stays held from here until its process has started, so that it cannot be
  // swapped in between; and only a file that passed gets the package's name.
  const std::string partial = PartialPathOf(localPath);
  if (!HasDigest(*got.body, pinnedSha256)) {
    got.body.reset();
    in.os.files.DeleteFile(partial);
    ReportFailure(in, VerificationFailure(got));
    return false;
  }
  const FileError named = RetryWhileInUse(
      in, limits.inUseMs, [&got, &localPath] { return got.body->Rename(localPath); });
  if (named != FileError::None) {
    got.body.reset();
    in.os.files.DeleteFile(partial);
    ReportFailure(in, named == FileError::InUse
                          ? FileInUseMessage(localPath)
                          : DownloadFailureMessage(DownloadResult::DownloadIoError, url));
    return false;
  }
  if (in.os.files.FindEntry(localPath, EntryKind::OrdinaryFile).empty()) {
    ReportFailure(in, MissingFileMessage(localPath));
    return false;
  }
  in.state.HeldPackage = std::move(got.body);
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

std::string FileInUseMessage(const std::string& path) {
  return IoFailure(std::string("Another program is using the installation file ") + kCR + "      " +
                   path + kCR +
                   "It may be the installation of an earlier attempt that is still open. "
                   "Please close that program and click 'Install' again.");
}

std::string FolderMessage(const std::string& folder) {
  return IoFailure(std::string("The installation folder ") + kCR + "      " + folder + kCR +
                   "cannot be written to: it may have been removed, renamed or made "
                   "read-only, or its drive may be full. Please check the folder and click "
                   "'Install' again.");
}

std::string NoRoomMessage(const std::string& folder, std::int64_t needed, std::int64_t free) {
  return IoFailure("Not enough disk space: the installation file needs " + std::to_string(needed) +
                   " bytes, but the drive of " + kCR + "      " + folder + kCR + "has " +
                   std::to_string(free) +
                   " bytes free. Please make room on that drive and click 'Install' again.");
}

bool DownloadPackageFrom(Installer& in,
                         const std::string& baseUrl,
                         bool upgrade,
                         const TransferLimits& limits) {
  if (upgrade) {
    return DownloadPackage(in, baseUrl, "CelvaraStudio_Upgrade_",
                           &InstallerState::UpgradePackageName, kUpgradePackageSha256,
                           kUpgradePackageSize, limits);
  }
  return DownloadPackage(in, baseUrl, "CelvaraStudio_", &InstallerState::FullPackageName,
                         kFullPackageSha256, kFullPackageSize, limits);
}

bool DownloadFullPackage(Installer& in) {
  return DownloadPackageFrom(in, kDownloadBaseUrl, false);
}

bool DownloadUpgradePackage(Installer& in) {
  return DownloadPackageFrom(in, kDownloadBaseUrl, true);
}

}  // namespace cvi
