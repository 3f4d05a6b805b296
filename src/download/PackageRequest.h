// Names the installation package, fetches it under a wait cursor and reports how the fetch ended.
#pragma once

#include <cstdint>
#include <string>

#include "core/Installer.h"
#include "download/TransferLoop.h"

namespace cvi {

// Each fetches its package into InstallPath; true when the package file is in place there.
// Otherwise the reason stands in lblDownLoadError.
bool DownloadFullPackage(Installer& in);
bool DownloadUpgradePackage(Installer& in);

// The same fetch from another root address; the two above use the vendor's, with the usual limits.
bool DownloadPackageFrom(Installer& in,
                         const std::string& baseUrl,
                         bool upgrade,
                         const TransferLimits& limits = TransferLimits());

// The caption that reports a failed transfer of `url`; "" for DownloadOk. A code outside the
// known ones is reported as a cancel.
std::string DownloadFailureMessage(DownloadResult result, const std::string& url);
// The I/O message, followed by the cause that it would not tell.
std::string FileInUseMessage(const std::string& path);
std::string NoRoomMessage(const std::string& folder, std::int64_t needed, std::int64_t free);
std::string FolderMessage(const std::string& folder);

}  // namespace cvi
