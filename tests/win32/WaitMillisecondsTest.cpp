// The message-pumping timed wait on the real timer and message queue: length, nesting, dispatch
// and idle cost.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Driver.h"
#include "platform/win32/Handles.h"

namespace cvi {
namespace {

constexpr UINT kRecordMessage = WM_APP + 1;
constexpr UINT_PTR kNestTimer = 1;

double NowMs() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// CPU time of this thread so far, in milliseconds.
double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ticks = [](const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

// What the test window saw, reached through its user data.
struct Seen {
  win32::Win32EventPump* pump = nullptr;
  int recorded = 0;
  double recordedAt = 0;
  double nestedStart = 0;
  double nestedEnd = 0;
};

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (seen != nullptr && message == kRecordMessage) {
    ++seen->recorded;
    seen->recordedAt = NowMs();
    return 0;
  }
  if (seen != nullptr && message == WM_TIMER && wParam == kNestTimer) {
    KillTimer(hwnd, kNestTimer);
    seen->nestedStart = NowMs();
    seen->pump->WaitMilliseconds(50);
    seen->nestedEnd = NowMs();
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

class WaitMillisecondsTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CvWaitTestWindow";
    RegisterClassA(&windowClass);  // fails harmlessly when a previous test registered it
    window_.Reset(CreateWindowExA(0, "CvWaitTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(window_.Valid());
    seen_.pump = &pump_;
    SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen_));
  }

  // The wait's length in milliseconds.
  double TimedWait(std::int32_t milliseconds) {
    const double start = NowMs();
    pump_.WaitMilliseconds(milliseconds);
    return NowMs() - start;
  }

  win32::Win32EventPump pump_;
  Seen seen_;
  win32::WindowHandle window_;
};

TEST_F(WaitMillisecondsTest, LastsAboutTheTimeAsked) {
  const double elapsed = TimedWait(100);
  EXPECT_GE(elapsed, 80);
  EXPECT_LE(elapsed, 400);
}

TEST_F(WaitMillisecondsTest, DispatchesPostedMessagesAtOnce) {
  const double start = NowMs();
  PostMessageA(window_.Get(), kRecordMessage, 0, 0);
  pump_.WaitMilliseconds(300);
  EXPECT_EQ(1, seen_.recorded);
  EXPECT_LT(seen_.recordedAt - start, 200) << "the message waited for the end of the wait";
  EXPECT_GE(NowMs() - start, 280) << "the message ended the wait";
}

// A loop's last look at the queue is never skipped, however recently the previous look was.
TEST_F(WaitMillisecondsTest, LastLookAlwaysDispatches) {
  pump_.DoEvents();
  PostMessageA(window_.Get(), kRecordMessage, 0, 0);
  pump_.DoEventsNow();
  EXPECT_EQ(1, seen_.recorded);
}

// The nested call re-arms the shared named timer for an earlier moment, so the outer wait ends
// with the nested one instead of lasting its own two seconds.
TEST_F(WaitMillisecondsTest, NestedShortWaitEndsTheLongOne) {
  SetTimer(window_.Get(), kNestTimer, 100, nullptr);
  const double start = NowMs();
  pump_.WaitMilliseconds(2000);
  const double end = NowMs();
  ASSERT_GT(seen_.nestedStart, 0) << "the timer message was not dispatched inside the wait";
  EXPECT_GE(seen_.nestedEnd - seen_.nestedStart, 40);
  EXPECT_LT(end - start, 1000);
  EXPECT_GE(end, seen_.nestedEnd);
}

// The thread sleeps in the message wait: a busy loop would burn about the whole wait in CPU time.
TEST_F(WaitMillisecondsTest, SleepsInsteadOfSpinning) {
  const double cpuBefore = ThreadCpuMs();
  const double elapsed = TimedWait(500);
  const double cpuMs = ThreadCpuMs() - cpuBefore;
  EXPECT_GE(elapsed, 450);
  EXPECT_LT(cpuMs, 100);
}

// When the timer cannot be had (here its name is taken by an event, so it cannot be created), the
// wait still lasts about the time asked, keeps dispatching and does not spin.
TEST_F(WaitMillisecondsTest, WithoutItsTimerStillEndsOnTimeAndDispatches) {
  win32::KernelHandle squatter(CreateEventA(nullptr, TRUE, FALSE, "CelvaraStudioTimer"));
  ASSERT_TRUE(squatter.Valid());
  ASSERT_EQ(CreateWaitableTimerA(nullptr, TRUE, "CelvaraStudioTimer"), nullptr);

  PostMessageA(window_.Get(), kRecordMessage, 0, 0);
  const double cpuBefore = ThreadCpuMs();
  const double elapsed = TimedWait(300);
  const double cpuMs = ThreadCpuMs() - cpuBefore;
  EXPECT_GE(elapsed, 280);
  EXPECT_LE(elapsed, 800);
  EXPECT_EQ(1, seen_.recorded);
  EXPECT_LT(cpuMs, 100);
}

// Another program holding the shared timer's name may cancel it, push it far ahead or fire it
// early, over and over; a wait still lasts about the time it asked for. The meddler fires the
// timer once more when it stops, so that a wait it held would end and fail instead of hanging.
struct Meddling {
  const char* name;
  LONGLONG dueIn100ns;  // 0: cancel the timer
};

class TimerMeddling : public WaitMillisecondsTest, public testing::WithParamInterface<Meddling> {};

TEST_P(TimerMeddling, WaitStillEndsOnTime) {
  win32::KernelHandle timer(CreateWaitableTimerA(nullptr, TRUE, "CelvaraStudioTimer"));
  ASSERT_TRUE(timer.Valid());
  std::atomic<bool> stop{false};
  std::thread meddler([&] {
    const ULONGLONG end = GetTickCount64() + 3000;
    while (!stop && GetTickCount64() < end) {
      LARGE_INTEGER due;
      due.QuadPart = GetParam().dueIn100ns;
      if (due.QuadPart == 0)
        CancelWaitableTimer(timer.Get());
      else
        SetWaitableTimer(timer.Get(), &due, 0, nullptr, nullptr, FALSE);
      Sleep(5);
    }
    LARGE_INTEGER now{};
    SetWaitableTimer(timer.Get(), &now, 0, nullptr, nullptr, FALSE);
  });
  Sleep(20);
  const double elapsed = TimedWait(300);
  stop = true;
  meddler.join();
  EXPECT_GE(elapsed, 280);
  EXPECT_LE(elapsed, 700);
}

INSTANTIATE_TEST_SUITE_P(WaitMillisecondsTest,
                         TimerMeddling,
                         testing::Values(Meddling{"Cancelled", 0},
                                         Meddling{"PushedAnHourAhead", -36000000000LL},
                                         Meddling{"FiredEarly", -10000}),
                         [](const testing::TestParamInfo<Meddling>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
}  // namespace cvi
