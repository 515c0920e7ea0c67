// Jobs run on worker threads as they come; their owner waits for each one
// when it needs its result, typically in the order it queued them. Several
// owners may share one queue: jobs only run, they never wait for each other.
#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "Threads.h"

namespace bzip2arc {

class WorkQueue {
 public:
  class Job {
   public:
    explicit Job(std::function<void()> work) : work_(std::move(work)) {}

   private:
    friend class WorkQueue;
    std::function<void()> work_;
    bool done_ = false;
    std::exception_ptr error_;
  };

  explicit WorkQueue(unsigned threads);
  // Lets running jobs finish and drops the ones not started.
  ~WorkQueue();
  WorkQueue(const WorkQueue&) = delete;
  WorkQueue& operator=(const WorkQueue&) = delete;

  std::shared_ptr<Job> Push(std::function<void()> work);
  // Returns when the job has run; rethrows what it threw.
  void Wait(Job& job);
  bool IsDone(Job& job);
  // The job will not start if it has not yet (then it must not be waited
  // for); one running goes on.
  void Drop(const Job& job);

  unsigned Threads() const { return static_cast<unsigned>(threads_.size()); }

 private:
  void Stop();
  void Work();

  Mutex mutex_;
  ConditionVariable changed_;
  std::deque<std::shared_ptr<Job>> queued_;  // not started, oldest first
  bool stop_ = false;
  std::vector<std::unique_ptr<Thread>> threads_;
};

}  // namespace bzip2arc
