// Jobs run on worker threads; their results come back in the order in which
// the jobs were given, so that a parallel run writes the same bytes as a
// run on one thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace zumtal {

template <class Job, class Result>
class OrderedJobs {
 public:
  // `window` bounds the jobs given but not yet taken back, and so the
  // results held in memory.
  OrderedJobs(unsigned threads, std::size_t window, std::function<Result(Job&)> work)
      : window_(window < threads ? threads : window), work_(std::move(work)) {
    for (unsigned i = 0; i < threads; ++i) {
      workers_.emplace_back([this] { Work(); });
    }
  }

  // Jobs not yet started are dropped; running ones finish first.
  ~OrderedJobs() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    jobReady_.notify_all();
    for (auto& worker : workers_) {
      worker.join();
    }
  }

  OrderedJobs(const OrderedJobs&) = delete;
  OrderedJobs& operator=(const OrderedJobs&) = delete;

  bool Full() const {
    const std::lock_guard lock(mutex_);
    return slots_.size() >= window_;
  }
  bool Empty() const {
    const std::lock_guard lock(mutex_);
    return slots_.empty();
  }

  void Push(Job job) {
    {
      const std::lock_guard lock(mutex_);
      slots_.push_back(Slot{std::move(job), std::nullopt});
    }
    jobReady_.notify_one();
  }

  // Waits for the oldest job and returns its result.
  Result PopOldest() {
    std::unique_lock lock(mutex_);
    resultReady_.wait(lock, [this] { return slots_.front().result.has_value(); });
    Result result = std::move(*slots_.front().result);
    slots_.pop_front();
    --taken_;
    return result;
  }

 private:
  struct Slot {
    Job job;
    std::optional<Result> result;
  };

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      jobReady_.wait(lock, [this] { return stopping_ || taken_ < slots_.size(); });
      if (stopping_) {
        return;
      }
      // A deque's elements stay in place while others are added at the back
      // or taken from the front, and this slot is not taken before its
      // result is there.
      Slot& slot = slots_[taken_++];
      lock.unlock();
      Result result = work_(slot.job);
      lock.lock();
      slot.result = std::move(result);
      resultReady_.notify_all();
    }
  }

  const std::size_t window_;
  const std::function<Result(Job&)> work_;
  mutable std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable resultReady_;
  std::deque<Slot> slots_;
  std::size_t taken_ = 0;  // slots_[0, taken_) are started or done
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace zumtal
