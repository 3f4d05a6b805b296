// The transfer loop: every result code with what the file and the counter hold afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "Doubles.h"
#include "app/InstallCommands.h"
#include "download/TransferLoop.h"

namespace cvi::test {
namespace {

const char* const kUrl = "http://127.0.0.1:47801/packages/CelvaraStudio_v3.9.exe";
const char* const kPath = "C:\\CelvaraStudio\\CelvaraStudio_v3.9.exe";
const char* const kPartial = "C:\\CelvaraStudio\\CelvaraStudio_v3.9.exe.partial";
const std::string kOldData(5000, 'x');

std::string Body(long long length) {
  std::string body;
  for (long long i = 0; i < length; ++i)
    body += FakeInternet::ByteAt(i);
  return body;
}

std::string Counter(TestRig& r) {
  return r.ui.Caption(Form::frmInstall, Ctl::lblBytesDownloaded);
}

// Every run finds an older, longer file at the path, so the rows whose file holds the body also
// show that it is replaced, never appended to.
DownloadResult Fetch(TestRig& r, Downloaded& out, const TransferLimits& limits = TransferLimits()) {
  r.files.AddFolder("C:\\CelvaraStudio");
  r.files.AddFile(kPath, false, kOldData);
  return DownloadFile(r.in, kUrl, kPath, 1000, out, limits);
}

DownloadResult Fetch(TestRig& r) {
  Downloaded out;
  return Fetch(r, out);
}

void ClickCancel(TestRig& r) {
  r.state.InstallInProgress = true;
  cmdCancel_Click(r.in);
}

struct ResultRow {
  const char* name;
  std::function<void(TestRig&)> arrange;
  DownloadResult code;
  // The earlier file untouched; nothing left; or the body's first bytes under the temporary name.
  enum { Untouched, Gone, Partial } file;
  long long fileLength;
  const char* counter;
  IoProblem problem = IoProblem::None;
  std::int64_t bodyBytes = -1;
};

const ResultRow kResultRows[] = {
    {"WholeBody", [](TestRig& r) { r.internet.length = 10000; }, DownloadResult::DownloadOk,
     ResultRow::Partial, 10000, "10000"},
    {"ExactlyTheMinimum", [](TestRig& r) { r.internet.length = 1000; }, DownloadResult::DownloadOk,
     ResultRow::Partial, 1000, "1000"},
    {"LeftoverTemporaryFileIsReplaced",
     [](TestRig& r) {
       r.internet.length = 1500;
       r.files.AddFile(kPartial, false, kOldData);
     },
     DownloadResult::DownloadOk, ResultRow::Partial, 1500, "1500"},
    {"OneByteShort", [](TestRig& r) { r.internet.length = 999; },
     DownloadResult::DownloadNotRetrieved, ResultRow::Gone, 0, "999"},
    {"EmptyBody", [](TestRig& r) { r.internet.length = 0; }, DownloadResult::DownloadNotRetrieved,
     ResultRow::Gone, 0, "0"},
    {"NoSession", [](TestRig& r) { r.internet.sessionOpens = false; },
     DownloadResult::DownloadNoSession, ResultRow::Untouched, 0, "0"},
    {"NoWorkerThread", [](TestRig& r) { r.internet.jobStarts = false; },
     DownloadResult::DownloadNoSession, ResultRow::Untouched, 0, "0"},
    {"UrlNotOpened", [](TestRig& r) { r.internet.urlOpens = false; },
     DownloadResult::DownloadNotRetrieved, ResultRow::Untouched, 0, "0"},
    {"ServerErrorPageIsNotWritten",
     [](TestRig& r) {
       r.internet.length = 8000;
       r.internet.status = 404;
     },
     DownloadResult::DownloadNotRetrieved, ResultRow::Untouched, 0, "0"},
    {"ReadFailsMidBody",
     [](TestRig& r) {
       r.internet.length = 20000;
       r.internet.failAfter = 8192;
     },
     DownloadResult::DownloadReadError, ResultRow::Gone, 0, "8192"},
    {"ReadFailsAtOnce",
     [](TestRig& r) {
       r.internet.length = 20000;
       r.internet.failAfter = 0;
     },
     DownloadResult::DownloadReadError, ResultRow::Gone, 0, "0"},
    {"FileCannotBeCreated",
     [](TestRig& r) {
       r.internet.length = 20000;
       r.files.failOpen.insert(FakeFileSystem::Key(kPartial));
     },
     DownloadResult::DownloadIoError, ResultRow::Gone, 0, "0", IoProblem::FolderUnwritable},
    {"FileCannotBeWritten",
     [](TestRig& r) {
       r.internet.length = 20000;
       r.events.AtYield(3, [&r] { r.files.entries.erase(FakeFileSystem::Key(kPartial)); });
     },
     DownloadResult::DownloadIoError, ResultRow::Gone, 0, "12288", IoProblem::FolderUnwritable},
    // With the body's length known, a reply that announces another or runs on stops at once.
    {"AnnouncesAnotherLength", [](TestRig& r) { r.internet.length = r.internet.announced = 6000; },
     DownloadResult::DownloadIoError, ResultRow::Untouched, 0, "0", IoProblem::WrongLength, 5000},
    {"RunsPastItsLength", [](TestRig& r) { r.internet.length = 20000; },
     DownloadResult::DownloadIoError, ResultRow::Gone, 0, "8192", IoProblem::WrongLength, 10000},
    {"ExactlyItsLength", [](TestRig& r) { r.internet.length = r.internet.announced = 10000; },
     DownloadResult::DownloadOk, ResultRow::Partial, 10000, "10000", IoProblem::None, 10000},
    {"CounterCaptionNotANumber",
     [](TestRig& r) {
       r.internet.length = 20000;
       r.events.AtYield(
           1, [&r] { r.ui.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, "4,096"); });
     },
     DownloadResult::DownloadIoError, ResultRow::Gone, 0, "4,096"},
    {"NoRoomForTheAnnouncedBody",
     [](TestRig& r) {
       r.internet.length = r.internet.announced = 20000;
       r.files.freeSpace = 19999;
     },
     DownloadResult::DownloadIoError, ResultRow::Gone, 0, "0", IoProblem::NoRoom},
    {"RoomForExactlyTheAnnouncedBody",
     [](TestRig& r) {
       r.internet.length = r.internet.announced = 20000;
       r.files.freeSpace = 20000;
     },
     DownloadResult::DownloadOk, ResultRow::Partial, 20000, "20000"},
    {"PackageNameHeldByAnotherProgram",
     [](TestRig& r) {
       r.internet.length = 20000;
       r.files.busy[FakeFileSystem::Key(kPath)] = 1000;
     },
     DownloadResult::DownloadIoError, ResultRow::Untouched, 0, "0", IoProblem::FileInUse},
    {"PackageNameLetGoWithinTenSeconds",
     [](TestRig& r) {
       r.internet.length = 20000;
       r.files.busy[FakeFileSystem::Key(kPath)] = 99;
     },
     DownloadResult::DownloadOk, ResultRow::Partial, 20000, "20000"},
    {"TemporaryFileHeldByAnotherProgram",
     [](TestRig& r) {
       r.internet.length = 20000;
       r.files.busy[FakeFileSystem::Key(kPartial)] = 1000;
     },
     DownloadResult::DownloadIoError, ResultRow::Gone, 0, "0", IoProblem::FileInUse},
    {"FinishedBodyOpenedBrieflyByAScanner",
     [](TestRig& r) {
       r.internet.length = 6000;
       r.events.AtYield(2, [&r] { r.files.busy[FakeFileSystem::Key(kPartial)] = 30; });
     },
     DownloadResult::DownloadOk, ResultRow::Partial, 6000, "6000"},
    {"FinishedBodyHeldByAnotherProgram",
     [](TestRig& r) {
       r.internet.length = 6000;
       r.events.AtYield(2, [&r] { r.files.busy[FakeFileSystem::Key(kPartial)] = 1000; });
     },
     DownloadResult::DownloadIoError, ResultRow::Partial, 6000, "6000", IoProblem::FileInUse},
    {"CancelAtFirstBlock",
     [](TestRig& r) {
       r.internet.length = 10000;
       r.events.AtYield(1, [&r] { ClickCancel(r); });
     },
     DownloadResult::DownloadCancelled, ResultRow::Gone, 0, "0"},
    {"CancelAtLastBlock",
     [](TestRig& r) {
       r.internet.length = 10000;
       r.events.AtYield(3, [&r] { ClickCancel(r); });
     },
     DownloadResult::DownloadCancelled, ResultRow::Gone, 0, "0"},
    {"CancelSeenOnlyAfterTheLastBlock",
     [](TestRig& r) {
       r.internet.length = 10000;
       r.events.AtYield(4, [&r] { ClickCancel(r); });
     },
     DownloadResult::DownloadCancelled, ResultRow::Gone, 0, "0"},
    {"RedirectsFollowed",
     [](TestRig& r) {
       r.internet.length = 6000;
       r.internet.redirects = {{kUrl, "http://127.0.0.1/a"}, {"http://127.0.0.1/a", "http://b/"}};
     },
     DownloadResult::DownloadOk, ResultRow::Partial, 6000, "6000"},
    {"RedirectsUpToTheLimit",
     [](TestRig& r) {
       r.internet.length = 6000;
       r.internet.redirects = {{kUrl, "1"}, {"1", "2"}, {"2", "3"}, {"3", "4"}, {"4", "5"}};
     },
     DownloadResult::DownloadOk, ResultRow::Partial, 6000, "6000"},
    {"RedirectBeyondTheLimit",
     [](TestRig& r) {
       r.internet.length = 6000;
       r.internet.redirects = {{kUrl, "1"}, {"1", "2"}, {"2", "3"},
                               {"3", "4"},  {"4", "5"}, {"5", "6"}};
     },
     DownloadResult::DownloadNotRetrieved, ResultRow::Untouched, 0, "0"},
    {"RedirectLoop",
     [](TestRig& r) {
       r.internet.length = 6000;
       r.internet.redirects = {{kUrl, kUrl}};
     },
     DownloadResult::DownloadNotRetrieved, ResultRow::Untouched, 0, "0"},
};

class TransferResults : public testing::TestWithParam<ResultRow> {};

// Whatever the outcome, no file of the package's name holds a part of the body, the network was
// touched only from the worker, and the worker closed what it opened.
TEST_P(TransferResults, FileCounterAndHandles) {
  const ResultRow& row = GetParam();
  TestRig r;
  row.arrange(r);
  Downloaded out;
  TransferLimits limits;
  limits.bodyBytes = row.bodyBytes;
  EXPECT_EQ(Fetch(r, out, limits), row.code);
  EXPECT_EQ(Counter(r), row.counter);
  EXPECT_EQ(out.problem, row.problem);
  EXPECT_EQ(r.files.Exists(kPath), row.file == ResultRow::Untouched);
  if (row.file == ResultRow::Untouched) {
    EXPECT_EQ(r.files.Get(kPath)->data, kOldData);
  }
  if (row.file == ResultRow::Partial) {
    ASSERT_TRUE(r.files.Exists(kPartial));
    EXPECT_EQ(r.files.Get(kPartial)->data, Body(row.fileLength));
  } else {
    EXPECT_FALSE(r.files.Exists(kPartial));
  }
  EXPECT_EQ(out.body != nullptr, row.code == DownloadResult::DownloadOk);
  EXPECT_EQ(r.files.held, row.code == DownloadResult::DownloadOk ? 1 : 0);
  EXPECT_EQ(r.internet.open, 0) << "an internet handle was left open";
  EXPECT_EQ(r.internet.callsOnWindowThread, 0);
}

INSTANTIATE_TEST_SUITE_P(Codes,
                         TransferResults,
                         testing::ValuesIn(kResultRows),
                         [](const testing::TestParamInfo<ResultRow>& info) {
                           return std::string(info.param.name);
                         });

// The installer's own limits, on the virtual clock: a server that never answers, one that falls
// silent, and CANCEL while either waits, which ends the wait at once and shows the notice. The
// worker, blocked for ever, is let go; nothing of the body is left.
TEST(TransferLoop, OwnTimeLimitsAndCancelWhileWaiting) {
  struct Row {
    const char* name;
    bool replyStalls;
    TransferLimits limits;
    long cancelAtMs;  // -1: none
    DownloadResult code;
    long endsAtMs;
  } rows[] = {
      {"NoAnswer", true, {}, -1, DownloadResult::DownloadNotRetrieved, 30000},
      {"Silence", false, {}, -1, DownloadResult::DownloadReadError, 30000},
      {"NoAnswerShortened",
       true,
       {1500, 30000, 10000},
       -1,
       DownloadResult::DownloadNotRetrieved,
       1500},
      {"SilenceShortened",
       false,
       {30000, 2500, 10000},
       -1,
       DownloadResult::DownloadReadError,
       2500},
      {"CancelDuringNoAnswer", true, {}, 4000, DownloadResult::DownloadCancelled, 6000},
      {"CancelDuringSilence", false, {}, 4000, DownloadResult::DownloadCancelled, 6000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestRig r;
    r.internet.length = 20000;
    r.internet.replyStalls = row.replyStalls;
    r.internet.stallAt = 8192;
    if (row.cancelAtMs >= 0)
      r.events.At(row.cancelAtMs, [&r] { ClickCancel(r); });
    Downloaded out;
    EXPECT_EQ(Fetch(r, out, row.limits), row.code);
    EXPECT_GE(r.events.now, row.endsAtMs);
    EXPECT_LE(r.events.now, row.endsAtMs + LockStepJob::kSliceMs);
    EXPECT_EQ(r.files.Exists(kPath), row.replyStalls) << "the earlier file goes once answered";
    EXPECT_FALSE(r.files.Exists(kPartial));
    EXPECT_EQ(Counter(r), row.replyStalls || row.cancelAtMs >= 0 ? "0" : "8192");
    EXPECT_EQ(r.internet.open, 0);
  }
}

TEST(TransferLoop, AsksForTheSessionAndUrlAsTheProgramDoes) {
  TestRig r;
  r.internet.length = 1500;
  ASSERT_EQ(Fetch(r), DownloadResult::DownloadOk);
  EXPECT_EQ(r.internet.agent, "CVInstall");
  EXPECT_EQ(r.internet.openAccess, 0u);
  EXPECT_EQ(r.internet.openFlags, 0u);
  EXPECT_EQ(r.internet.url, kUrl);
  EXPECT_EQ(r.internet.urlFlags, 0xA4200000u);
  EXPECT_EQ(r.internet.timeoutMs, kTransferTimeoutMs);
  EXPECT_EQ(kTransferTimeoutMs, 30000u);
  EXPECT_EQ(r.internet.closes, 2);
}

TEST(TransferLoop, CounterFollowsEveryBlockAndEventsRunAfterEach) {
  TestRig r;
  r.internet.length = 3 * 4096 + 10;
  std::vector<std::string> seen;
  for (int n = 1; n <= 4; ++n)
    r.events.AtYield(n, [&] { seen.push_back(Counter(r)); });
  ASSERT_EQ(Fetch(r), DownloadResult::DownloadOk);
  EXPECT_EQ(seen, (std::vector<std::string>{"4096", "8192", "12288", "12298"}));
  EXPECT_EQ(r.events.yields, 5);
  EXPECT_EQ(r.events.lastLooks, 1);
  EXPECT_EQ(r.internet.reads, 5);
}

// Bytes that trickle in are read as they arrive, never more than a block at a time.
TEST(TransferLoop, ReadsOnlyWhatHasArrived) {
  TestRig r;
  r.internet.length = 9000;
  r.internet.arrival = 5000;
  std::vector<std::string> seen;
  for (int n = 1; n <= 3; ++n)
    r.events.AtYield(n, [&] { seen.push_back(Counter(r)); });
  ASSERT_EQ(Fetch(r), DownloadResult::DownloadOk);
  EXPECT_EQ(seen, (std::vector<std::string>{"4096", "5000", "9000"}));
  EXPECT_EQ(r.internet.asked, (std::vector<std::uint32_t>{4096, 904, 4000, 4096}));
}

TEST(TransferLoop, CounterStartsAtZeroWhateverAnEarlierCallLeft) {
  TestRig r;
  r.ui.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, "777");
  r.internet.length = 1200;
  ASSERT_EQ(Fetch(r), DownloadResult::DownloadOk);
  EXPECT_EQ(Counter(r), "1200");
}

TEST(TransferLoop, ReplyWhoseStatusCannotBeToldIsTakenAsItComes) {
  TestRig r;
  r.internet.length = 1200;
  r.internet.status = 0;  // the status could not be told
  EXPECT_EQ(Fetch(r), DownloadResult::DownloadOk);
}

TEST(TransferLoop, CancelShowsTheNoticeForTwoSecondsAtEighteenPoints) {
  TestRig r;
  r.internet.length = 10000;
  std::string fileDuringNotice = "gone";
  r.events.AtYield(2, [&] { ClickCancel(r); });
  r.events.At(1, [&] {
    if (r.files.Exists(kPartial))
      fileDuringNotice = r.files.Get(kPartial)->data;
  });
  ASSERT_EQ(Fetch(r), DownloadResult::DownloadCancelled);
  EXPECT_EQ(r.ui.Caption(Form::frmInstall, Ctl::lblDownLoadError),
            "Installation CANCELED. DownLoad Terminated.");
  EXPECT_EQ(r.ui.FontSize(Form::frmInstall, Ctl::lblDownLoadError), 18);
  EXPECT_TRUE(r.ui.Visible(Form::frmInstall, Ctl::lblDownLoadError));
  EXPECT_EQ(r.events.waitLengths, std::vector<int>{2000});
  EXPECT_EQ(fileDuringNotice, Body(4096)) << "only the block before the cancel is written";
  EXPECT_EQ(r.internet.reads, 2) << "no block is read after the cancel";
}

// Counts what is written without keeping it, for bodies of gigabytes.
class CountingFileSystem : public FakeFileSystem {
 public:
  class CountingFile : public OutputFile {
   public:
    explicit CountingFile(long long& written) : written_(written) {}
    bool Write(const char*, std::size_t size) override {
      written_ += static_cast<long long>(size);
      return true;
    }

   private:
    long long& written_;
  };
  std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, FileError*) override {
    AddFile(path);
    written = 0;
    return std::make_unique<CountingFile>(written);
  }
  long long written = -1;
};

struct HugeRun {
  DownloadResult code;
  long long written;
  std::string counter;
  int open;
};

HugeRun FetchHugeBody(long long length) {
  TestRig r;
  CountingFileSystem files;
  Platform os{files,    r.registry, r.internet, r.boxes,     r.events,  r.processes,
              r.screen, r.browser,  r.windows,  r.clipboard, r.keyboard};
  Installer in{r.state, r.ui, os};
  r.internet.length = length;
  r.internet.fillData = false;
  r.internet.readAhead = 1024;
  Downloaded out;
  const DownloadResult code = DownloadFile(in, kUrl, kPath, 1000, out);
  return {code, files.written, Counter(r), r.internet.open};
}

TEST(TransferLoop, BodyBeyondTheSignedCountOverflowsToAnIoError) {
  const HugeRun run = FetchHugeBody(2147483647LL + 5000);
  EXPECT_EQ(run.code, DownloadResult::DownloadIoError);
  // The last whole block that still fits was written; the one that overflows was not.
  const long long fits = 2147483647LL / 4096 * 4096;
  EXPECT_EQ(run.written, fits);
  EXPECT_EQ(run.counter, std::to_string(fits));
  EXPECT_EQ(run.open, 0);
}

TEST(TransferLoop, BodyOfExactlyTheLargestCountSucceeds) {
  const HugeRun run = FetchHugeBody(2147483647LL);
  EXPECT_EQ(run.code, DownloadResult::DownloadOk);
  EXPECT_EQ(run.written, 2147483647LL);
  EXPECT_EQ(run.counter, "2147483647");
}

}  // namespace
}  // namespace cvi::test
