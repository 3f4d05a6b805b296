// Streams one HTTP reply into a local file with a live byte counter and a way to cancel.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
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
// Connect, send and receive time-out asked of the HTTP client. Where it honours them the worker
// ends on its own; the installer's own limits below do not depend on them.
constexpr std::uint32_t kTransferTimeoutMs = 30000;
// Redirects followed before the reply counts as not retrieved.
constexpr int kMaxRedirects = 5;
// Replies with this status or above are the server's error pages, not the package.
constexpr int kFirstHttpErrorStatus = 400;

// How long a transfer waits for the network and for other programs. Only tests shorten them.
struct TransferLimits {
  // From opening the address (or a redirect's) to the server's answer; then: not retrieved.
  std::int32_t replyMs = 30000;
  // Between two pieces of the body; then: a read error.
  std::int32_t silenceMs = 30000;
  // A file that another program has open (a virus scanner looking at a new program) is tried
  // again for this long.
  std::int32_t inUseMs = 10000;
  // The body's exact length when it is known beforehand, -1 when not: a reply that announces
  // another length, or a body that grows past it, is stopped at once.
  std::int64_t bodyBytes = -1;
};

// Why a DownloadIoError happened, where the I/O message would not tell the user what to do.
enum class IoProblem {
  None,
  NoRoom,            // the drive has less free space than the reply announces
  FileInUse,         // another program holds a file of the package's name
  WrongLength,       // the body is not as long as TransferLimits::bodyBytes
  FolderUnwritable,  // the file cannot be made or written in its folder (gone, read-only, full)
};

// What DownloadFile leaves for its caller besides its code.
struct Downloaded {
  // DownloadOk: the whole body under PartialPathOf(localPath), held so that nobody can change it,
  // for the caller to check and name.
  std::unique_ptr<HeldFile> body;
  IoProblem problem = IoProblem::None;
  std::int64_t announced = -1;  // the reply's announced length; -1 when it announced none
  std::int64_t freeBytes = -1;  // what the drive had free, for NoRoom
  std::string inUsePath;        // the file that another program holds, for FileInUse
  // What the network said of a reply that was not retrieved, and what came instead of a package:
  // the reply's Content-Type and the body's first bytes (at most kHeadBytes).
  NetProblem netProblem = NetProblem::Unknown;
  std::string contentType;
  std::string head;
  static constexpr std::size_t kHeadBytes = 64;
};

// The temporary name a download is written under, beside the file it becomes: a file of the real
// name is always complete.
std::string PartialPathOf(const std::string& localPath);

// Fetches `url` into PartialPathOf(`localPath`), after deleting any file at `localPath`; nothing is
// ever written under `localPath` itself. A body shorter than `minimumBytes` counts as not
// retrieved. Every failure and a cancel delete what was written.
DownloadResult DownloadFile(Installer& in,
                            const std::string& url,
                            const std::string& localPath,
                            std::int32_t minimumBytes,
                            Downloaded& out,
                            const TransferLimits& limits = TransferLimits());

// Runs `operation` again while it fails because another program has the file open, pausing with
// window events dispatched, for at most `limitMs`; its last answer.
FileError RetryWhileInUse(Installer& in,
                          std::int32_t limitMs,
                          const std::function<FileError()>& operation);

}  // namespace cvi
