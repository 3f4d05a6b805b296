// Network work on a thread of its own, and the hand-over of what it makes to the window's thread.
#pragma once

#include <cstdint>
#include <functional>

namespace cvi {

class Internet;

// The worker's end of a hand-over to the window's thread. The items arrive there in order; each is
// a tag and a value of the job's own and at most kMaxBytes bytes of data.
class JobOutput {
 public:
  static constexpr std::uint32_t kMaxBytes = 4096;
  virtual ~JobOutput() = default;
  // Waits while the backlog is full. False once the window's side has let go: the job then ends.
  virtual bool Put(int tag, std::int64_t value, const char* data, std::uint32_t size) = 0;
};

// Network work for a thread of its own: it gets an HTTP client of that thread's own, and everything
// it makes reaches the window's thread through `out`.
class InternetJob {
 public:
  virtual ~InternetJob() = default;
  virtual void Run(Internet& net, JobOutput& out) = 0;
};

// One item as the window's thread takes it; `data` stays valid until the next Take.
struct JobItem {
  int tag = 0;
  std::int64_t value = 0;
  const char* data = nullptr;
  std::uint32_t size = 0;
};

// The window's end of a job. Letting go of it abandons the worker: it finishes on its own, closes
// its own handles, and nothing it hands over later is used.
class JobResults {
 public:
  enum class Wait {
    Item,
    TimedOut,   // `limitMs` passed without an item
    NotWanted,  // `stillWanted` answered false
    Finished,   // the job has ended and every item it handed over was taken
  };
  virtual ~JobResults() = default;
  // The next item; until it comes, window events are dispatched and `stillWanted` is asked after
  // each of them.
  virtual Wait Take(JobItem* item,
                    std::int32_t limitMs,
                    const std::function<bool()>& stillWanted) = 0;
};

}  // namespace cvi
