// A mutex, a condition variable and a joining thread that also build with
// mingw's win32 thread model, which has no std::thread or std::mutex.
#pragma once

#include <functional>
#include <memory>

namespace bzip2arc {

class ConditionVariable;

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock();
  void Unlock();

 private:
  friend class ConditionVariable;
  struct State;
  std::unique_ptr<State> state_;
};

class Lock {
 public:
  explicit Lock(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~Lock() { mutex_.Unlock(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  friend class ConditionVariable;
  Mutex& mutex_;
};

class ConditionVariable {
 public:
  ConditionVariable();
  ~ConditionVariable();
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;

  // Releases the lock's mutex while waiting; may wake spuriously.
  void Wait(Lock& lock);
  template <class Predicate>
  void Wait(Lock& lock, Predicate ready) {
    while (!ready()) Wait(lock);
  }
  void NotifyAll();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Runs `body` on a new thread; the destructor joins it. `body` must not throw.
class Thread {
 public:
  explicit Thread(std::function<void()> body);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace bzip2arc
