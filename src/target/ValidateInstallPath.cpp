// Decides whether a typed or chosen path can take the installation, and which kind it will be.
#include "target/ValidateInstallPath.h"

#include <cctype>
#include <cstddef>
#include <vector>

#include "core/PackageDigests.h"

namespace cvi {
namespace {

constexpr Form kF = Form::frmInstall;
constexpr const char* kProductSuffix = "\\CelvaraStudio";
constexpr std::size_t kProductSuffixLength = 14;
constexpr std::size_t kProductWordLength = 13;
constexpr const char* kProductWordUpper = "CELVARASTUDIO";
constexpr int kFixedDrive = 3;
constexpr std::size_t kLongestPath = 259;  // characters of a Windows path
// The deepest folder made inside the product folder, and a short file name in it, must fit in a
// Windows path; a longer product folder would be left half made.
constexpr std::size_t kLongestForTree =
    kLongestPath - (sizeof("\\CelvaraStudioUserGuide_files") - 1) - (sizeof("\\12345678.123") - 1);
// The self-extractor writes each file under a temporary name beside it first, and refuses a path
// that leaves less room than that name needs (GetTempFileNameA's 14 characters).
constexpr std::size_t kSelfExtractorTempMargin = 14;
constexpr std::size_t kDeepestInPackages = static_cast<std::size_t>(
    kFullPackageDeepestPath > kUpgradePackageDeepestPath ? kFullPackageDeepestPath
                                                         : kUpgradePackageDeepestPath);
// Either package's deepest file, below the product folder, must fit as well: a folder that cannot
// hold the product is refused before anything is downloaded.
constexpr std::size_t kLongestForPackages =
    kLongestPath - kSelfExtractorTempMargin - 1 - kDeepestInPackages;
constexpr std::size_t kLongestInstallPath =
    kLongestForTree < kLongestForPackages ? kLongestForTree : kLongestForPackages;

// Inside the product folder, in the order they are made: each one's parent comes before it.
constexpr const char* kProductFolderTree[] = {
    "CelvaraStudioUserGuide_files", "Charts", "Charts\\Single", "Charts\\Dual", "Ephem",
};

constexpr const char* kBoxUpgradePieces[] = {
    "'CelvaraStudio' appears to already be installed there.",
    "This will be an Upgrade-only installation.",
    "Is this OK?",
    "Click NO for another option.",
};
constexpr const char* kBoxReinstallPieces[] = {
    "Click 'OK' to overwrite current installation and do a re-install.",
    "(existing CHARTS you have created will be retained; however, you will have to reset your "
    "'defaults' for location, lat/long, etc.)",
};

// The path in characters of the active code page: a double-byte character's second byte may be
// 0x5C, the byte of "\\", and must never be taken for one.
class Characters {
 public:
  Characters(const std::string& text, FileSystem& files) : text_(text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      starts_.push_back(i);
      if (files.IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size())
        ++i;
    }
  }
  std::size_t Count() const { return starts_.size(); }
  std::string First(std::size_t n) const {
    return n >= Count() ? text_ : text_.substr(0, starts_[n]);
  }
  std::string Last(std::size_t n) const {
    return n >= Count() ? text_ : text_.substr(starts_[Count() - n]);
  }

 private:
  const std::string& text_;
  std::vector<std::size_t> starts_;
};

std::string Upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Each piece shows as its own paragraph: an empty line between them, carriage returns only.
template <std::size_t N>
std::string Paragraphs(const char* const (&pieces)[N]) {
  std::string text;
  for (std::size_t i = 0; i < N; ++i) {
    if (i > 0)
      text += "\r\r";
    text += pieces[i];
  }
  return text;
}

bool Reject(Installer& in, const std::string& message) {
  in.ui.SetCaption(kF, Ctl::lblPathError, message);
  in.ui.SetVisible(kF, Ctl::lblPathError, true);
  return false;
}

// Folders that exist already, or cannot be made, are skipped: none of them decides the outcome.
void CreateProductFolderTree(Installer& in) {
  for (const char* folder : kProductFolderTree) {
    in.os.files.CreateFolder(in.state.InstallPath + "\\" + folder);
  }
}

// An installation is there when the final folder is named after the product and holds the
// product's program as an ordinary file. Both lookups are always made.
bool InstallationPresent(Installer& in, const std::string& finalPath) {
  const std::string folderName = in.os.files.FindEntry(finalPath, EntryKind::FolderOrFile);
  const std::string exeName =
      in.os.files.FindEntry(finalPath + "\\" + kProductExeName, EntryKind::OrdinaryFile);
  return Upper(folderName) == kProductWordUpper && !exeName.empty();
}

// A lookup for folders finds ordinary files too; only an entry that is not an ordinary file can
// hold the product.
bool FolderPresent(Installer& in, const std::string& path) {
  return !in.os.files.FindEntry(path, EntryKind::FolderOrFile).empty() &&
         in.os.files.FindEntry(path, EntryKind::OrdinaryFile).empty();
}

// The user may close frmInstall while a question is up: the answer, if any, is dropped, and
// nothing is created or asked any more.
bool WindowClosedMeanwhile(const Installer& in) {
  return !in.ui.IsLoaded(kF);
}

bool Upgrade(Installer& in, const std::string& finalPath) {
  in.state.InstallPath = finalPath;
  in.state.UpgradeMode = true;
  in.state.FullInstallMode = false;
  in.ui.SetCaption(kF, Ctl::cmdInstall, "UPGRADE");
  in.ui.SetCaption(kF, Ctl::lblTitle, std::string("Upgrade CelvaraStudio to: ") + kProductVersion);
  CreateProductFolderTree(in);
  return true;
}

bool Reinstall(Installer& in, const std::string& finalPath) {
  in.state.InstallPath = finalPath;
  in.state.UpgradeMode = false;
  in.state.FullInstallMode = true;
  in.ui.SetCaption(kF, Ctl::lblTitle,
                   std::string("Install CelvaraStudio version: ") + kProductVersion);
  in.ui.SetCaption(kF, Ctl::cmdInstall, "INSTALL");
  CreateProductFolderTree(in);
  return true;
}

bool Declined(Installer& in) {
  in.state.InstallPath.clear();
  // After an earlier upgrade answer an empty InstallPath would let INSTALL upgrade nowhere, since
  // an upgrade does not validate again. Falling back to a full installation makes INSTALL
  // validate the path shown and ask again.
  if (!in.state.FullInstallMode) {
    in.state.UpgradeMode = false;
    in.state.FullInstallMode = true;
  }
  return Reject(in, "You have neither chosen an upgrade nor a full install.");
}

bool FreshInstall(Installer& in, const std::string& finalPath) {
  in.state.InstallPath = finalPath;
  in.os.files.CreateFolder(in.state.InstallPath);
  if (!FolderPresent(in, in.state.InstallPath)) {
    return Reject(in,
                  "Unable to create 'CelvaraStudio' subdirectory. Make sure you have 'write' "
                  "priveleges on the disk drive.");
  }
  in.state.UpgradeMode = false;
  in.state.FullInstallMode = true;
  CreateProductFolderTree(in);
  return true;
}

}  // namespace

bool ValidateInstallPath(Installer& in, const std::string& path, bool alteredByCodePage) {
  InstallerState& s = in.state;
  // A look-alike of the typed folder is never used in its place; the box keeps what was typed.
  if (alteredByCodePage) {
    return Reject(in,
                  "Invalid installation Path: Windows cannot write some of its characters here "
                  "and would make it " +
                      path + " instead. Please type or choose a folder without them.");
  }
  std::string working = path;
  in.ui.SetCaption(kF, Ctl::txtInstallPath, path);
  in.ui.SetVisible(kF, Ctl::lblPathError, false);

  if (Characters(working, in.os.files).Count() < 3) {
    return Reject(in, "Invalid installation Path, must be at least 3 characters (like 'C:\\')");
  }

  s.DriveType = in.os.files.DriveType(Characters(working, in.os.files).First(3));
  if (s.DriveType != kFixedDrive) {
    // The platform names no other types; anything else is as good as unknown.
    const std::size_t index =
        s.DriveType >= 0 && static_cast<std::size_t>(s.DriveType) < s.DriveTypeNames.size()
            ? static_cast<std::size_t>(s.DriveType)
            : 0;
    return Reject(in, "Invalid installation Path. The drive is: " + s.DriveTypeNames[index]);
  }

  if (Characters(working, in.os.files).Last(1) == "\\")
    working.pop_back();

  // A bare drive such as "C:" is left from a root and needs no test.
  if (Characters(working, in.os.files).Count() > 2 &&
      in.os.files.FindEntry(working, EntryKind::FolderOrFile).empty()) {
    in.ui.SetCaption(kF, Ctl::txtInstallPath, working);
    return Reject(in, "The directory path you typed in does not exist.");
  }
  in.ui.SetCaption(kF, Ctl::txtInstallPath, working);

  // Only the last characters count, so a folder such as MyCelvaraStudio is taken as the product
  // folder itself.
  const Characters chosen(working, in.os.files);
  if (chosen.Count() <= kProductSuffixLength ||
      Upper(chosen.Last(kProductWordLength)) != kProductWordUpper) {
    working += kProductSuffix;
  }
  in.ui.SetCaption(kF, Ctl::txtInstallPath, working);

  const std::size_t length = Characters(working, in.os.files).Count();
  if (length > kLongestInstallPath) {
    return Reject(in,
                  "Invalid installation Path, too long: the installation folder can have at "
                  "most " +
                      std::to_string(kLongestInstallPath) + " characters, this one has " +
                      std::to_string(length) + ".");
  }

  if (!InstallationPresent(in, working))
    return FreshInstall(in, working);

  const int upgradeAnswer = in.os.messageBoxes.Show(Paragraphs(kBoxUpgradePieces), s.MessageTitle,
                                                    mb::kYesNo | mb::kIconQuestion);
  if (WindowClosedMeanwhile(in))
    return false;
  if (upgradeAnswer == mb::kAnswerYes)
    return Upgrade(in, working);
  const int reinstallAnswer = in.os.messageBoxes.Show(
      Paragraphs(kBoxReinstallPieces), s.MessageTitle, mb::kOkCancel | mb::kIconQuestion);
  if (WindowClosedMeanwhile(in))
    return false;
  if (reinstallAnswer == mb::kAnswerOk)
    return Reinstall(in, working);
  return Declined(in);
}

}  // namespace cvi
