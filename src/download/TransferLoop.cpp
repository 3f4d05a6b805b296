// Streams one HTTP reply into a local file with a live byte counter and a way to cancel.
#include "download/TransferLoop.h"

#include <array>
#include <limits>
#include <memory>

namespace cvi {
namespace {

// Redirects are followed here rather than by WinINet, which follows a redirect loop for ever.
constexpr std::uint32_t kUrlFlags =
    Internet::kFlagExistingConnect | Internet::kFlagNoCacheWrite | Internet::kFlagNoAutoRedirect;
constexpr std::int32_t kMaxCount = std::numeric_limits<std::int32_t>::max();

// Owns one internet handle; closing twice or closing none is harmless.
class InternetHandle {
 public:
  InternetHandle(Internet& net, Internet::Handle handle) : net_(net), handle_(handle) {}
  ~InternetHandle() { Close(); }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  explicit operator bool() const { return handle_ != 0; }
  Internet::Handle get() const { return handle_; }
  void Close() { Reset(0); }
  void Reset(Internet::Handle handle) {
    if (handle_ != 0)
      net_.Close(handle_);
    handle_ = handle;
  }

 private:
  Internet& net_;
  Internet::Handle handle_;
};

enum class LoopEnd { BodyComplete, Cancelled, ReadFailed, RunTimeFailure };

// The counter is read back from the label so that it goes on from exactly what the user has seen.
// False when the caption is not a plain count or the sum no longer fits one.
bool AddToCounter(const std::string& caption, std::uint32_t n, std::string* sum) {
  if (caption.empty() || caption.size() > 10)
    return false;
  std::int64_t value = 0;
  for (char c : caption) {
    if (c < '0' || c > '9')
      return false;
    value = value * 10 + (c - '0');
  }
  value += n;
  if (value > kMaxCount)
    return false;
  *sum = std::to_string(value);
  return true;
}

void ShowCancelNotice(Installer& in) {
  in.ui.SetCaption(Form::frmInstall, Ctl::lblDownLoadError,
                   "Installation CANCELED. DownLoad Terminated.");
  in.ui.SetFontSize(Form::frmInstall, Ctl::lblDownLoadError, 18);
  in.ui.SetVisible(Form::frmInstall, Ctl::lblDownLoadError, true);
  in.os.events.WaitMilliseconds(2000);
}

// Copies the body block by block; the local file is closed when this returns.
LoopEnd TransferBody(Installer& in,
                     Internet::Handle request,
                     const std::string& localPath,
                     std::int32_t* total) {
  std::unique_ptr<OutputFile> file = in.os.files.CreateOutputFile(localPath);
  if (!file)
    return LoopEnd::RunTimeFailure;
  std::array<char, kTransferBlockSize> block;
  for (;;) {
    // Only what has arrived is asked for: a read of a whole block would wait for all of it, and
    // while bytes trickle in the counter would stand still and CANCEL go unseen.
    std::uint32_t available = 0;
    if (!in.os.internet.Available(request, &available))
      return LoopEnd::ReadFailed;
    const std::uint32_t ask =
        available == 0 || available > kTransferBlockSize ? kTransferBlockSize : available;
    std::uint32_t n = 0;
    if (!in.os.internet.Read(request, block.data(), ask, &n))
      return LoopEnd::ReadFailed;
    if (n == 0) {
      // The yield after the last block may have skipped its look at the queue; a CANCEL clicked
      // while that block was read is seen here.
      in.os.events.DoEventsNow();
      if (in.state.CancelRequested) {
        ShowCancelNotice(in);
        return LoopEnd::Cancelled;
      }
      return LoopEnd::BodyComplete;
    }
    if (n > ask)
      return LoopEnd::ReadFailed;
    if (*total > kMaxCount - static_cast<std::int32_t>(n))
      return LoopEnd::RunTimeFailure;
    *total += static_cast<std::int32_t>(n);

    std::string counter;
    if (!AddToCounter(in.ui.Caption(Form::frmInstall, Ctl::lblBytesDownloaded), n, &counter)) {
      return LoopEnd::RunTimeFailure;
    }
    in.ui.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, counter);

    // CANCEL is handled here; the block in hand is then dropped.
    in.os.events.DoEvents();
    if (in.state.CancelRequested) {
      ShowCancelNotice(in);
      return LoopEnd::Cancelled;
    }
    if (!file->Write(block.data(), n))
      return LoopEnd::RunTimeFailure;
  }
}

}  // namespace

DownloadResult DownloadFile(Installer& in,
                            const std::string& url,
                            const std::string& localPath,
                            std::int32_t minimumBytes) {
  Internet& net = in.os.internet;
  in.ui.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, "0");

  InternetHandle session(
      net, net.Open(in.os.processes.ExecutableName(), Internet::kOpenTypePreconfig, 0));
  if (!session)
    return DownloadResult::DownloadNoSession;
  net.SetTimeouts(session.get(), kTransferTimeoutMs);

  InternetHandle request(net, net.OpenUrl(session.get(), url, kUrlFlags));
  // A redirect loop runs into the limit like any chain that is too long.
  for (int redirects = 0;; ++redirects) {
    if (!request)
      return DownloadResult::DownloadNotRetrieved;
    const std::string target = net.RedirectTarget(request.get());
    if (target.empty())
      break;
    if (redirects == kMaxRedirects)
      return DownloadResult::DownloadNotRetrieved;
    request.Reset(net.OpenUrl(session.get(), target, kUrlFlags));
  }
  // A server's error page is never taken for the package, whatever its length.
  if (net.StatusCode(request.get()) >= kFirstHttpErrorStatus) {
    return DownloadResult::DownloadNotRetrieved;
  }

  in.os.files.DeleteFile(localPath);
  std::int32_t total = 0;
  switch (TransferBody(in, request.get(), localPath, &total)) {
    case LoopEnd::ReadFailed:
      return DownloadResult::DownloadReadError;
    case LoopEnd::RunTimeFailure:
      return DownloadResult::DownloadIoError;
    case LoopEnd::BodyComplete:
    case LoopEnd::Cancelled:
      break;
  }
  request.Close();
  session.Close();

  if (in.state.CancelRequested) {
    in.os.files.DeleteFile(localPath);
    in.ui.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, "0");
    return DownloadResult::DownloadCancelled;
  }
  if (total < minimumBytes)
    return DownloadResult::DownloadNotRetrieved;
  return DownloadResult::DownloadOk;
}

}  // namespace cvi
