// The timed wait that keeps the windows alive, and the dispatch of pending window events.
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {
namespace {

// Shared by every wait in the process, nested ones included, and by other programs of the logon
// session that use the same name.
constexpr const char* kTimerName = "CelvaraStudioTimer";
// Every kind of queue input wakes the wait: keys, mouse, posted, timer, paint, sent, hot keys.
constexpr DWORD kWakeMask = 0xFF;
constexpr LONGLONG kLooksPerSecond = 1000;
// Touch and pen input (Windows 8 and later), which the headers for Windows 7 do not define.
constexpr DWORD kTouchAndPen = 0x0800 | 0x1000;

}  // namespace

DWORD MsgWaitWithTouch(DWORD count,
                       const HANDLE* handles,
                       DWORD milliseconds,
                       DWORD wakeMask,
                       DWORD flags) {
  const DWORD result =
      MsgWaitForMultipleObjectsEx(count, handles, milliseconds, wakeMask | kTouchAndPen, flags);
  if (result != WAIT_FAILED)
    return result;
  return MsgWaitForMultipleObjectsEx(count, handles, milliseconds, wakeMask, flags);
}

// The named timer is shared with every other holder of its name: a wait of this thread nested in
// ours may re-arm it for an earlier moment, and ours then ends with it. Another program may cancel
// it, re-arm it or fire it early as well; that must neither hold this wait past its own time nor
// end it before, so the wait also keeps its own deadline and re-arms the timer after a signal that
// nobody here asked for.
void Win32EventPump::WaitMilliseconds(std::int32_t milliseconds) {
  const DWORD start = GetTickCount();
  const DWORD length = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  KernelHandle timer(CreateWaitableTimerA(nullptr, TRUE, kTimerName));
  if (!timer || !Arm(timer.Get(), length))
    return WaitWithoutTimer(start, milliseconds);
  const unsigned ownWait = ++waitsStarted_;
  HANDLE handle = timer.Get();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    const DWORD left = elapsed < length ? length - elapsed : 0;
    const DWORD result = MsgWaitWithTouch(1, &handle, left, kWakeMask, 0);
    if (result == WAIT_FAILED)
      return WaitWithoutTimer(start, milliseconds);
    Dispatch();
    if (result == WAIT_TIMEOUT || GetTickCount() - start >= length)
      return;
    if (result == WAIT_OBJECT_0) {
      if (waitsStarted_ != ownWait)
        return;
      Arm(handle, length - (GetTickCount() - start));
    }
  }
}

bool Win32EventPump::Arm(HANDLE timer, DWORD milliseconds) {
  LARGE_INTEGER due;
  due.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;
  return SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) != FALSE;
}

// Without the timer the wait still ends after about the time asked for, sleeping in the message
// wait in between, so the windows stay alive and the thread never spins.
void Win32EventPump::WaitWithoutTimer(DWORD start, std::int32_t milliseconds) {
  const DWORD length = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= length)
      break;
    const DWORD result = MsgWaitWithTouch(0, nullptr, length - elapsed, QS_ALLINPUT, 0);
    if (result == WAIT_FAILED)
      Sleep(10);
    Dispatch();
  }
  Dispatch();
}

// A transfer yields after every 4 KB block. Under Wine each look at the queue is a round trip to
// the server that costs about as much as reading such a block, so a caller that yields in a tight
// loop looks at most once a millisecond; an event then waits at most that long.
void Win32EventPump::DoEvents() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  if (lastLook_ != 0 && now.QuadPart - lastLook_ < frequency.QuadPart / kLooksPerSecond)
    return;
  lastLook_ = now.QuadPart;
  Dispatch();
}

void Win32EventPump::DoEventsNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  lastLook_ = now.QuadPart;
  Dispatch();
}

// Taken as Unicode, so that a character typed into a Unicode field reaches it as typed; the
// system converts for the windows that take their text in the code page.
void Win32EventPump::Dispatch() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (filter_ && filter_->PreTranslate(msg))
      continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace cvi::win32
