// Names the installation package, fetches it under a wait cursor and reports how the fetch ended.
#pragma once

#include <string>

#include "core/Installer.h"
#include "download/TransferLoop.h"

namespace cvi {

// Each fetches its package into InstallPath; true when the package file is in place there.
// Otherwise the reason stands in lblDownLoadError.
bool DownloadFullPackage(Installer& in);
bool DownloadUpgradePackage(Installer& in);

// The same fetch from another root address; the two above use the vendor's.
bool DownloadPackageFrom(Installer& in, const std::string& baseUrl, bool upgrade);

// The caption that reports a failed transfer of `url`; "" for DownloadOk. A code outside the
// known ones is reported as a cancel.
std::string DownloadFailureMessage(DownloadResult result, const std::string& url);

}  // namespace cvi
