// A job on a thread of its own that moves only while the window's side waits for it, so that a test
// sees the same order of reads, yields and clicks on every run.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Platform.h"

namespace cvi::test {

// The job makes one item each time the window's side finds nothing to take, and then stops until
// asked again; with `ahead`, it goes on until that many more wait. A call that would wait on the
// network for ever is Block(): the window's side then waits on the virtual clock of `events` until
// it gives up or lets go, which releases the call.
class LockStepJob : public JobResults, private JobOutput {
 public:
  static constexpr std::int32_t kSliceMs = 100;

  LockStepJob(std::unique_ptr<InternetJob> job,
              Internet& net,
              EventPump& events,
              std::size_t ahead = 0)
      : events_(events), ahead_(ahead), thread_([this, &net, job = std::move(job)]() mutable {
          {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return run_ || abandoned_; });
            if (abandoned_) {
              done_ = true;
              return;
            }
          }
          job->Run(net, *this);
          job.reset();
          Done();
        }) {}
  ~LockStepJob() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      abandoned_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  Wait Take(JobItem* item,
            std::int32_t limitMs,
            const std::function<bool()>& stillWanted) override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (holding_) {
      items_.pop_front();
      holding_ = false;
    }
    if (items_.empty() && !done_ && !blocked_) {
      run_ = true;
      changed_.notify_all();
      changed_.wait(lock, [this] { return !items_.empty() || done_ || blocked_; });
    }
    if (!items_.empty()) {
      const Item& next = items_.front();
      *item = JobItem{next.tag, next.value, next.data.data(),
                      static_cast<std::uint32_t>(next.data.size())};
      holding_ = true;
      return Wait::Item;
    }
    if (done_)
      return Wait::Finished;
    lock.unlock();
    for (std::int32_t waited = 0;; waited += kSliceMs) {
      if (!stillWanted())
        return Wait::NotWanted;
      if (waited >= limitMs)
        return Wait::TimedOut;
      events_.WaitMilliseconds(kSliceMs);
    }
  }

  // On the job's thread: a call that never returns by itself.
  void Block() {
    std::unique_lock<std::mutex> lock(mutex_);
    blocked_ = true;
    run_ = false;
    changed_.notify_all();
    changed_.wait(lock, [this] { return abandoned_; });
  }

 private:
  struct Item {
    int tag;
    std::int64_t value;
    std::string data;
  };

  bool Put(int tag, std::int64_t value, const char* data, std::uint32_t size) override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (abandoned_)
      return false;
    items_.push_back({tag, value, std::string(data ? data : "", data ? size : 0)});
    changed_.notify_all();
    if (items_.size() <= ahead_)
      return true;
    run_ = false;
    changed_.wait(lock, [this] { return run_ || abandoned_; });
    return !abandoned_;
  }

  void Done() {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    changed_.notify_all();
  }

  EventPump& events_;
  const std::size_t ahead_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> items_;
  bool run_ = false;
  bool holding_ = false;
  bool blocked_ = false;
  bool done_ = false;
  bool abandoned_ = false;
  std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace cvi::test
