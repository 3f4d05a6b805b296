// Internet jobs on threads of their own, handing what they make to the window's thread through a
// bounded ring of blocks.
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

#include <cstring>

namespace cvi::win32 {
namespace {

// Items that may wait for the window's thread: enough for the worker to go on reading while the
// window's thread writes what came before, and a bound on the memory (about 260 KB).
constexpr unsigned kSlots = 64;
// The window's thread gives taken slots back a batch at a time, so that the worker is not woken
// for every block; a quarter of the ring keeps it reading all the while.
constexpr unsigned kGiveBackBatch = kSlots / 4;
// Looks for the worker's next block before the window's thread goes to sleep for it. At full speed
// the worker is a block away, and under Wine each sleep and wake-up is a round trip through the
// server that costs more than the block itself.
constexpr int kSpins = 64;

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class Locked {
 public:
  explicit Locked(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~Locked() { section_.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& section_;
};

struct Slot {
  int tag;
  std::int64_t value;
  std::uint32_t size;
  char data[JobOutput::kMaxBytes];
};

// What the worker and the window's thread share. Each side holds one reference and the last one
// to let go frees it, so the worker never touches anything that the window's side may have ended:
// not the windows, not the installer's state, not an object on another thread's stack.
class Link : public JobOutput {
 public:
  explicit Link(std::unique_ptr<InternetJob> job)
      : job_(std::move(job)),
        itemsReady_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
        spaceFree_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  bool Usable() const { return itemsReady_ && spaceFree_; }
  void Release() {
    if (InterlockedDecrement(&references_) == 0)
      delete this;
  }

  // ---- the worker's side

  static DWORD WINAPI Run(void* parameter) {
    Link* link = static_cast<Link*>(parameter);
    {
      Win32Internet net;
      link->job_->Run(net, *link);
      link->job_.reset();
    }
    link->Finish();
    link->Release();
    return 0;
  }

  bool Put(int tag, std::int64_t value, const char* data, std::uint32_t size) override {
    lock_.Enter();
    while (count_ == kSlots && !abandoned_) {
      writerWaiting_ = true;
      lock_.Leave();
      WaitForSingleObject(spaceFree_.Get(), INFINITE);
      lock_.Enter();
    }
    const bool abandoned = abandoned_;
    lock_.Leave();
    if (abandoned)
      return false;
    // The slot is beyond what the window's thread may look at until the count below includes it.
    Slot& slot = slots_[writeIndex_];
    slot.tag = tag;
    slot.value = value;
    slot.size = size < kMaxBytes ? size : kMaxBytes;
    if (slot.size != 0)
      std::memcpy(slot.data, data, slot.size);
    writeIndex_ = (writeIndex_ + 1) % kSlots;
    bool wake = false;
    {
      Locked locked(lock_);
      ++count_;
      wake = readerWaiting_;
      readerWaiting_ = false;
    }
    if (wake)
      SetEvent(itemsReady_.Get());
    return true;
  }

  // ---- the window's side

  // Gives back the slots taken since the last call; how many items are ready after them, and
  // whether the job has ended. With none ready and `sleeping`, the next Put wakes the window's
  // thread.
  unsigned Sync(unsigned taken, bool* finished, bool sleeping) {
    bool wakeWorker = false;
    unsigned ready = 0;
    {
      Locked locked(lock_);
      count_ -= taken;
      ready = count_;
      *finished = finished_;
      readerWaiting_ = sleeping && ready == 0 && !finished_;
      wakeWorker = taken != 0 && writerWaiting_;
      if (wakeWorker)
        writerWaiting_ = false;
    }
    if (wakeWorker)
      SetEvent(spaceFree_.Get());
    return ready;
  }

  const Slot& SlotAt(unsigned index) const { return slots_[index]; }
  HANDLE ItemsReady() const { return itemsReady_.Get(); }

  void Abandon() {
    {
      Locked locked(lock_);
      abandoned_ = true;
      writerWaiting_ = false;
    }
    SetEvent(spaceFree_.Get());
  }

 private:
  ~Link() = default;

  void Finish() {
    bool wake = false;
    {
      Locked locked(lock_);
      finished_ = true;
      wake = readerWaiting_;
    }
    if (wake)
      SetEvent(itemsReady_.Get());
  }

  LONG references_ = 2;
  std::unique_ptr<InternetJob> job_;
  CriticalSection lock_;
  KernelHandle itemsReady_;
  KernelHandle spaceFree_;
  // Guarded by lock_.
  unsigned count_ = 0;  // filled slots, those taken but not yet given back included
  bool readerWaiting_ = false;
  bool writerWaiting_ = false;
  bool abandoned_ = false;
  bool finished_ = false;
  // The worker's alone.
  unsigned writeIndex_ = 0;
  Slot slots_[kSlots];
};

class Win32JobResults : public JobResults {
 public:
  Win32JobResults(Link* link, EventPump& events) : link_(link), events_(events) {}
  ~Win32JobResults() override {
    link_->Abandon();
    link_->Release();
  }
  Win32JobResults(const Win32JobResults&) = delete;
  Win32JobResults& operator=(const Win32JobResults&) = delete;

  Wait Take(JobItem* item,
            std::int32_t limitMs,
            const std::function<bool()>& stillWanted) override {
    if (holding_) {
      holding_ = false;
      ++taken_;
      --ready_;
      readIndex_ = (readIndex_ + 1) % kSlots;
    }
    bool finished = false;
    if (ready_ == 0 || taken_ >= kGiveBackBatch) {
      ready_ = link_->Sync(taken_, &finished, false);
      taken_ = 0;
    }
    for (int spin = 0; spin < kSpins && ready_ == 0 && !finished; ++spin) {
      SwitchToThread();
      ready_ = link_->Sync(0, &finished, false);
    }
    if (ready_ == 0) {
      const Wait waited = WaitForItems(limitMs, stillWanted);
      if (waited != Wait::Item)
        return waited;
    }
    const Slot& slot = link_->SlotAt(readIndex_);
    item->tag = slot.tag;
    item->value = slot.value;
    item->data = slot.data;
    item->size = slot.size;
    holding_ = true;
    return Wait::Item;
  }

 private:
  // Sleeps in the message wait until items arrive, dispatching every window event as it comes.
  Wait WaitForItems(std::int32_t limitMs, const std::function<bool()>& stillWanted) {
    const DWORD start = GetTickCount();
    const DWORD limit = limitMs > 0 ? static_cast<DWORD>(limitMs) : 0;
    HANDLE itemsReady = link_->ItemsReady();
    bool finished = false;
    for (;;) {
      ready_ = link_->Sync(0, &finished, true);
      if (ready_ != 0)
        return Wait::Item;
      if (finished)
        return Wait::Finished;
      if (!stillWanted())
        return Wait::NotWanted;
      const DWORD elapsed = GetTickCount() - start;
      if (elapsed >= limit)
        return Wait::TimedOut;
      // Input that is already waiting ends the wait too, so that an event never lies unseen while
      // items keep waking the thread.
      const DWORD woken =
          MsgWaitWithTouch(1, &itemsReady, limit - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (woken == WAIT_FAILED)
        Sleep(10);
      if (woken != WAIT_OBJECT_0)
        events_.DoEventsNow();
    }
  }

  Link* link_;
  EventPump& events_;
  unsigned readIndex_ = 0;
  unsigned ready_ = 0;  // items known to be there, the one held included
  unsigned taken_ = 0;  // slots taken and not yet given back
  bool holding_ = false;
};

}  // namespace

std::unique_ptr<JobResults> Win32Internet::StartJob(std::unique_ptr<InternetJob> job,
                                                    EventPump& events) {
  Link* link = new Link(std::move(job));
  if (!link->Usable()) {
    link->Release();
    link->Release();
    return nullptr;
  }
  // The thread is never waited for: it ends on its own, and the process may end before it.
  KernelHandle thread(CreateThread(nullptr, 0, &Link::Run, link, 0, nullptr));
  if (!thread) {
    link->Release();
    link->Release();
    return nullptr;
  }
  return std::make_unique<Win32JobResults>(link, events);
}

}  // namespace cvi::win32
