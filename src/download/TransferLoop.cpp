// Streams one HTTP reply into a local file with a live byte counter and a way to cancel.
//
// The network side runs on a worker of its own (TransferJob): every call that may wait on the
// server, the opening of the session and of each address included, waits there. The window's
// thread takes what the worker hands over, writes the file, counts, yields and looks for CANCEL
// after every block, and keeps its own time limits, so that a silent server can neither freeze the
// window nor hold the transfer for ever.
#include "download/TransferLoop.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

namespace cvi {
namespace {

// A reply from a cache would not be the vendor's current package. Redirects are followed here
// rather than by WinINet, which follows a redirect loop for ever.
constexpr std::uint32_t kUrlFlags = Internet::kFlagReload | Internet::kFlagExistingConnect |
                                    Internet::kFlagNoCacheWrite | Internet::kFlagNoAutoRedirect;
constexpr std::int32_t kMaxCount = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInUsePauseMs = 100;
// A web page sent in place of the package comes at once; its first bytes are not waited for longer.
constexpr std::int32_t kHeadWaitMs = 2000;
// What a proxy answers when it wants a user name and password. WinINet answers a proxy's NTLM or
// Negotiate challenge itself with the user's logon (the request asks for no INTERNET_FLAG_NO_AUTH),
// so a 407 that arrives here is one that Windows could not answer.
constexpr int kProxySignInStatus = 407;

// What the worker hands over, in order: any number of kRedirected, then kOpened (with the reply's
// Content-Type) and the body's kBlock items, and last kEnded with how the job ended and, when
// the address was not retrieved, one byte saying why; or kEnded before any kOpened.
enum JobTag : int { kRedirected = 1, kOpened, kBlock, kEnded };
enum class JobEnd : std::int64_t { NoSession, NotRetrieved, BodyComplete, ReadFailed, Abandoned };

// Owns one internet handle; closing twice or closing none is harmless.
class InternetHandle {
 public:
  explicit InternetHandle(Internet& net) : net_(net) {}
  ~InternetHandle() { Reset(0); }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  explicit operator bool() const { return handle_ != 0; }
  Internet::Handle get() const { return handle_; }
  void Reset(Internet::Handle handle) {
    if (handle_ != 0)
      net_.Close(handle_);
    handle_ = handle;
  }

 private:
  Internet& net_;
  Internet::Handle handle_ = 0;
};

// The network side of one transfer, on its worker. It owns copies of what it needs, never the
// installer's state or windows, and its handles are opened, used and closed on the worker alone.
class TransferJob : public InternetJob {
 public:
  TransferJob(std::string agent, std::string url)
      : agent_(std::move(agent)), url_(std::move(url)) {}

  void Run(Internet& net, JobOutput& out) override {
    InternetHandle session(net);
    InternetHandle request(net);
    const JobEnd end = Fetch(net, out, session, request);
    // Told before the handles close: closing a request whose body was not read to its end may
    // read the rest of it first.
    if (end != JobEnd::Abandoned) {
      const char why = static_cast<char>(why_);
      out.Put(kEnded, static_cast<std::int64_t>(end), &why, 1);
    }
  }

 private:
  JobEnd Fetch(Internet& net, JobOutput& out, InternetHandle& session, InternetHandle& request) {
    session.Reset(net.Open(agent_, Internet::kOpenTypePreconfig, 0));
    if (!session)
      return JobEnd::NoSession;
    net.SetTimeouts(session.get(), kTransferTimeoutMs);

    request.Reset(net.OpenUrl(session.get(), url_, kUrlFlags));
    // A redirect loop runs into the limit like any chain that is too long.
    for (int redirects = 0;; ++redirects) {
      if (!request) {
        why_ = net.OpenFailure();
        return JobEnd::NotRetrieved;
      }
      const std::string target = net.RedirectTarget(request.get());
      if (target.empty())
        break;
      if (redirects == kMaxRedirects)
        return JobEnd::NotRetrieved;
      // The server has answered; the next address gets its own time to answer.
      if (!out.Put(kRedirected, 0, nullptr, 0))
        return JobEnd::Abandoned;
      request.Reset(net.OpenUrl(session.get(), target, kUrlFlags));
    }
    // A server's error page is never taken for the package, whatever its length.
    const int status = net.StatusCode(request.get());
    if (status >= kFirstHttpErrorStatus) {
      if (status == kProxySignInStatus)
        why_ = NetProblem::ProxySignIn;
      return JobEnd::NotRetrieved;
    }
    const std::string type = net.ContentType(request.get()).substr(0, JobOutput::kMaxBytes);
    if (!out.Put(kOpened, net.AnnouncedLength(request.get()), type.data(),
                 static_cast<std::uint32_t>(type.size())))
      return JobEnd::Abandoned;

    char block[kTransferBlockSize];
    for (;;) {
      // Only what has arrived is asked for: a read of a whole block would wait for all of it, and
      // while bytes trickle in the counter would stand still.
      std::uint32_t available = 0;
      if (!net.Available(request.get(), &available))
        return JobEnd::ReadFailed;
      const std::uint32_t ask =
          available == 0 || available > kTransferBlockSize ? kTransferBlockSize : available;
      std::uint32_t n = 0;
      if (!net.Read(request.get(), block, ask, &n))
        return JobEnd::ReadFailed;
      if (n == 0)
        return JobEnd::BodyComplete;
      if (n > ask)
        return JobEnd::ReadFailed;
      if (!out.Put(kBlock, 0, block, n))
        return JobEnd::Abandoned;
    }
  }

  std::string agent_;
  std::string url_;
  NetProblem why_ = NetProblem::Unknown;
};

enum class LoopEnd { BodyComplete, Cancelled, ReadFailed, RunTimeFailure, WriteFailed, TooLong };

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

// Takes the body from the worker block by block; the window's own watchdog ends a body that stops
// arriving.
LoopEnd CopyBody(Installer& in,
                 JobResults& job,
                 OutputFile& file,
                 const TransferLimits& limits,
                 std::int32_t* total,
                 std::string* head) {
  const auto stillWanted = [&in] { return !in.state.CancelRequested; };
  for (;;) {
    JobItem item;
    switch (job.Take(&item, limits.silenceMs, stillWanted)) {
      case JobResults::Wait::Item:
        break;
      case JobResults::Wait::NotWanted:
        return LoopEnd::Cancelled;
      case JobResults::Wait::TimedOut:
      case JobResults::Wait::Finished:
        return LoopEnd::ReadFailed;
    }
    if (item.tag == kEnded) {
      if (item.value != static_cast<std::int64_t>(JobEnd::BodyComplete))
        return LoopEnd::ReadFailed;
      // The yield after the last block may have skipped its look at the queue; a CANCEL clicked
      // while that block was read is seen here.
      in.os.events.DoEventsNow();
      return in.state.CancelRequested ? LoopEnd::Cancelled : LoopEnd::BodyComplete;
    }
    if (item.tag != kBlock)
      continue;
    const std::uint32_t n = item.size;
    if (head->size() < Downloaded::kHeadBytes)
      head->append(item.data, std::min<std::size_t>(n, Downloaded::kHeadBytes - head->size()));
    // More than the package's length is never counted or written.
    if (limits.bodyBytes >= 0 && *total + static_cast<std::int64_t>(n) > limits.bodyBytes)
      return LoopEnd::TooLong;
    if (*total > kMaxCount - static_cast<std::int32_t>(n))
      return LoopEnd::RunTimeFailure;
    *total += static_cast<std::int32_t>(n);

    std::string counter;
    if (!AddToCounter(in.ui.Caption(Form::frmInstall, Ctl::lblBytesDownloaded), n, &counter))
      return LoopEnd::RunTimeFailure;
    in.ui.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, counter);

    // CANCEL is handled here; the block in hand is then dropped.
    in.os.events.DoEvents();
    if (in.state.CancelRequested)
      return LoopEnd::Cancelled;
    if (!file.Write(item.data, n))
      return LoopEnd::WriteFailed;
  }
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(0, slash);
}

// One transfer's window side: what it has made on disk, and how each way out leaves it.
class Transfer {
 public:
  Transfer(Installer& in,
           const std::string& localPath,
           const TransferLimits& limits,
           Downloaded& out)
      : in_(in),
        localPath_(localPath),
        partial_(PartialPathOf(localPath)),
        limits_(limits),
        out_(out) {}

  DownloadResult Run(const std::string& url, std::int32_t minimumBytes) {
    in_.ui.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, "0");
    job_ = in_.os.internet.StartJob(
        std::make_unique<TransferJob>(in_.os.processes.ExecutableName(), url), in_.os.events);
    if (!job_)
      return DownloadResult::DownloadNoSession;
    const DownloadResult reply = AwaitReply();
    if (reply != DownloadResult::DownloadOk)
      return reply;
    if (limits_.bodyBytes >= 0 && out_.announced >= 0 && out_.announced != limits_.bodyBytes) {
      TakeHead();
      return in_.state.CancelRequested
                 ? Cancel()
                 : Fail(DownloadResult::DownloadIoError, IoProblem::WrongLength);
    }
    if (!Prepare())
      return in_.state.CancelRequested ? Cancel() : Fail(DownloadResult::DownloadIoError);

    std::int32_t total = 0;
    const LoopEnd end = CopyBody(in_, *job_, *file_, limits_, &total, &out_.head);
    // Whatever the worker still does, nothing of it is used any more.
    job_.reset();
    switch (end) {
      case LoopEnd::Cancelled:
        return Cancel();
      case LoopEnd::ReadFailed:
        return Fail(DownloadResult::DownloadReadError);
      case LoopEnd::RunTimeFailure:
        return Fail(DownloadResult::DownloadIoError);
      case LoopEnd::WriteFailed:
        return Fail(DownloadResult::DownloadIoError, IoProblem::FolderUnwritable);
      case LoopEnd::TooLong:
        return Fail(DownloadResult::DownloadIoError, IoProblem::WrongLength);
      case LoopEnd::BodyComplete:
        break;
    }
    file_.reset();
    if (total < minimumBytes)
      return Fail(DownloadResult::DownloadNotRetrieved);
    // A virus scanner may open the new program as soon as it is closed.
    FileError why = FileError::None;
    const FileError held = RetryWhileInUse(in_, limits_.inUseMs, [this, &why] {
      out_.body = in_.os.files.HoldForReading(partial_, &why);
      return out_.body ? FileError::None : why;
    });
    if (in_.state.CancelRequested) {
      out_.body.reset();
      return Cancel();
    }
    if (held == FileError::InUse)
      return Fail(DownloadResult::DownloadIoError, held, partial_);
    if (held != FileError::None)
      return Fail(DownloadResult::DownloadIoError, IoProblem::FolderUnwritable);
    return DownloadResult::DownloadOk;
  }

 private:
  // The first bytes of a reply that is not the package, so that the message can tell what came
  // instead; nothing of it is written.
  void TakeHead() {
    const auto stillWanted = [this] { return !in_.state.CancelRequested; };
    JobItem item;
    while (job_->Take(&item, kHeadWaitMs, stillWanted) == JobResults::Wait::Item &&
           item.tag != kEnded) {
      if (item.tag == kBlock) {
        out_.head.assign(item.data, std::min<std::size_t>(item.size, Downloaded::kHeadBytes));
        return;
      }
    }
  }

  // Waits for the server's answer, redirects included; the body's announced length comes with it.
  DownloadResult AwaitReply() {
    const auto stillWanted = [this] { return !in_.state.CancelRequested; };
    for (;;) {
      JobItem item;
      switch (job_->Take(&item, limits_.replyMs, stillWanted)) {
        case JobResults::Wait::Item:
          break;
        case JobResults::Wait::NotWanted:
          return Cancel();
        case JobResults::Wait::TimedOut:
          out_.netProblem = NetProblem::NoAnswer;
          return DownloadResult::DownloadNotRetrieved;
        case JobResults::Wait::Finished:
          return DownloadResult::DownloadNotRetrieved;
      }
      if (item.tag == kOpened) {
        out_.announced = item.value;
        out_.contentType.assign(item.data, item.size);
        return DownloadResult::DownloadOk;
      }
      if (item.tag == kEnded) {
        if (item.size == 1)
          out_.netProblem = static_cast<NetProblem>(item.data[0]);
        return item.value == static_cast<std::int64_t>(JobEnd::NoSession)
                   ? DownloadResult::DownloadNoSession
                   : DownloadResult::DownloadNotRetrieved;
      }
    }
  }

  // Clears the way and opens the temporary file: the earlier package and any temporary file left
  // by an attempt that did not end go, and the drive must hold what the reply announces.
  bool Prepare() {
    FileSystem& files = in_.os.files;
    const FileError gone = RetryWhileInUse(in_, limits_.inUseMs, [&files, this] {
      FileError why = FileError::None;
      files.DeleteFile(localPath_, &why);
      return why;
    });
    if (gone == FileError::InUse) {
      out_.problem = IoProblem::FileInUse;
      out_.inUsePath = localPath_;
      return false;
    }
    files.DeleteFile(partial_);
    if (out_.announced > 0) {
      const std::int64_t free = files.FreeSpace(FolderOf(localPath_));
      if (free >= 0 && free < out_.announced) {
        out_.problem = IoProblem::NoRoom;
        out_.freeBytes = free;
        return false;
      }
    }
    FileError why = FileError::None;
    const FileError created = RetryWhileInUse(in_, limits_.inUseMs, [&files, &why, this] {
      file_ = files.CreateOutputFile(partial_, &why);
      return file_ ? FileError::None : why;
    });
    if (file_)
      return true;
    if (created == FileError::InUse) {
      out_.problem = IoProblem::FileInUse;
      out_.inUsePath = partial_;
    } else {
      out_.problem = IoProblem::FolderUnwritable;
    }
    return false;
  }

  DownloadResult Cancel() {
    job_.reset();
    ShowCancelNotice(in_);
    Discard();
    in_.ui.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, "0");
    return DownloadResult::DownloadCancelled;
  }

  DownloadResult Fail(DownloadResult code, IoProblem problem) {
    out_.problem = problem;
    return Fail(code);
  }

  DownloadResult Fail(DownloadResult code,
                      FileError why = FileError::None,
                      const std::string& path = std::string()) {
    job_.reset();
    Discard();
    if (why == FileError::InUse) {
      out_.problem = IoProblem::FileInUse;
      out_.inUsePath = path;
    }
    return code;
  }

  // A failed or cancelled download leaves nothing behind.
  void Discard() {
    if (file_) {
      file_.reset();
      in_.os.files.DeleteFile(partial_);
    } else {
      RetryWhileInUse(in_, limits_.inUseMs, [this] {
        FileError why = FileError::None;
        in_.os.files.DeleteFile(partial_, &why);
        return why;
      });
    }
  }

  Installer& in_;
  const std::string localPath_;
  const std::string partial_;
  const TransferLimits& limits_;
  Downloaded& out_;
  std::unique_ptr<JobResults> job_;
  std::unique_ptr<OutputFile> file_;
};

}  // namespace

std::string PartialPathOf(const std::string& localPath) {
  return localPath + ".partial";
}

FileError RetryWhileInUse(Installer& in,
                          std::int32_t limitMs,
                          const std::function<FileError()>& operation) {
  FileError why = operation();
  for (std::int32_t waited = 0; why == FileError::InUse && waited < limitMs;
       waited += kInUsePauseMs) {
    if (in.state.CancelRequested)
      break;
    in.os.events.WaitMilliseconds(kInUsePauseMs);
    why = operation();
  }
  return why;
}

DownloadResult DownloadFile(Installer& in,
                            const std::string& url,
                            const std::string& localPath,
                            std::int32_t minimumBytes,
                            Downloaded& out,
                            const TransferLimits& limits) {
  out = Downloaded();
  Transfer transfer(in, localPath, limits, out);
  return transfer.Run(url, minimumBytes);
}

}  // namespace cvi
