#include "WorkQueue.h"

namespace bzip2arc {

WorkQueue::WorkQueue(unsigned threads) {
  try {
    for (unsigned i = 0; i < threads; ++i) threads_.push_back(std::make_unique<Thread>([this] { Work(); }));
  } catch (...) {
    Stop();
    throw;
  }
}

WorkQueue::~WorkQueue() { Stop(); }

void WorkQueue::Stop() {
  {
    Lock lock(mutex_);
    stop_ = true;
    queued_.clear();
  }
  changed_.NotifyAll();
  threads_.clear();  // joins
}

std::shared_ptr<WorkQueue::Job> WorkQueue::Push(std::function<void()> work) {
  auto job = std::make_shared<Job>(std::move(work));
  {
    Lock lock(mutex_);
    queued_.push_back(job);
  }
  changed_.NotifyAll();
  return job;
}

void WorkQueue::Wait(Job& job) {
  Lock lock(mutex_);
  changed_.Wait(lock, [&] { return job.done_; });
  if (job.error_) std::rethrow_exception(job.error_);
}

bool WorkQueue::IsDone(Job& job) {
  Lock lock(mutex_);
  return job.done_;
}

void WorkQueue::Drop(const Job& job) {
  Lock lock(mutex_);
  std::erase_if(queued_, [&](const std::shared_ptr<Job>& queued) { return queued.get() == &job; });
}

void WorkQueue::Work() {
  for (;;) {
    std::shared_ptr<Job> job;
    {
      Lock lock(mutex_);
      changed_.Wait(lock, [&] { return stop_ || !queued_.empty(); });
      if (stop_) return;
      job = std::move(queued_.front());
      queued_.pop_front();
    }
    std::exception_ptr error;
    try {
      job->work_();
    } catch (...) {
      error = std::current_exception();
    }
    job->work_ = nullptr;  // what it held goes now, not with its owner's last reference
    {
      Lock lock(mutex_);
      job->done_ = true;
      job->error_ = error;
    }
    changed_.NotifyAll();
  }
}

}  // namespace bzip2arc
