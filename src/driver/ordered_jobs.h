// Jobs run on worker threads; their results come back in the order in which
// the jobs were given, so that a parallel run writes the same bytes as a
// run on one thread.
#pragma once

#include <algorithm>
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

  // Push, PopOldest, Full and Empty belong to one thread, the taker; only
  // it changes how many jobs there are, so it counts them without the lock.
  bool Full() const { return given_ >= window_; }
  bool Empty() const { return given_ == 0; }

  // Wakes a worker only when one is idle: a system call per job would cost
  // as much as a small job.
  void Push(Job job) {
    bool wake = false;
    {
      const std::lock_guard lock(mutex_);
      slots_.push_back(Slot{std::move(job), std::nullopt});
      wake = idle_ > 0;
    }
    ++given_;
    if (wake) {
      jobReady_.notify_one();
    }
  }

  // Waits for the oldest job and returns its result.
  Result PopOldest() {
    std::unique_lock lock(mutex_);
    if (!slots_.front().result.has_value()) {
      // Each wait costs a wake-up, two system calls: the taker waits for a
      // quarter of the window at once, and takes the rest without waiting.
      // The jobs at the front have all been given, so they all finish.
      lastAwaited_ = std::min(slots_.size(), std::max<std::size_t>(1, window_ / 4)) - 1;
      waiting_ = true;
      resultReady_.wait(lock, [this] { return AwaitedReady(); });
      waiting_ = false;
    }
    Result result = std::move(*slots_.front().result);
    slots_.pop_front();
    --taken_;
    --given_;
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
      ++idle_;
      jobReady_.wait(lock, [this] { return stopping_ || taken_ < slots_.size(); });
      --idle_;
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
      // Only the last of the awaited results ends the wait of the taker.
      if (waiting_ && AwaitedReady()) {
        resultReady_.notify_one();
      }
    }
  }

  // Whether the results the taker waits for are all there (under the lock).
  bool AwaitedReady() const {
    for (std::size_t i = 0; i <= lastAwaited_; ++i) {
      if (!slots_[i].result.has_value()) {
        return false;
      }
    }
    return true;
  }

  const std::size_t window_;
  const std::function<Result(Job&)> work_;
  mutable std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable resultReady_;
  std::deque<Slot> slots_;
  std::size_t given_ = 0;  // slots_.size(), kept by the taker
  std::size_t taken_ = 0;  // slots_[0, taken_) are started or done
  std::size_t idle_ = 0;   // workers waiting for a job
  bool waiting_ = false;   // the taker waits for slots_[0, lastAwaited_]
  std::size_t lastAwaited_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace zumtal
