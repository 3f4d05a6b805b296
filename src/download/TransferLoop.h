// Streams one HTTP reply into a local file with a live byte counter and a way to cancel.
#pragma once

#include <cstdint>
#include <string>

#include "core/Installer.h"

namespace cvi {

enum class DownloadResult {
  DownloadOk = 0,
  DownloadNoSession,
  DownloadNotRetrieved,
  DownloadIoError,
  DownloadReadError,
  DownloadCancelled,
};

// Bytes asked of the server per read; the counter and the event yield follow every block.
constexpr std::uint32_t kTransferBlockSize = 4096;
// Connect, send and receive time-out of a transfer: a server that goes silent ends the transfer
// as a read failure instead of freezing the window.
constexpr std::uint32_t kTransferTimeoutMs = 30000;
// Redirects followed before the reply counts as not retrieved.
constexpr int kMaxRedirects = 5;
// Replies with this status or above are the server's error pages, not the package.
constexpr int kFirstHttpErrorStatus = 400;

// Fetches `url` into `localPath`, replacing any file there. A body shorter than `minimumBytes`
// counts as not retrieved; a cancelled transfer deletes its file.
DownloadResult DownloadFile(Installer& in,
                            const std::string& url,
                            const std::string& localPath,
                            std::int32_t minimumBytes);

}  // namespace cvi
