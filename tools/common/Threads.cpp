#include "Threads.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace bzip2arc {

#ifdef _WIN32

struct Mutex::State {
  SRWLOCK lock = SRWLOCK_INIT;
};

struct ConditionVariable::State {
  CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

struct Thread::State {
  std::function<void()> body;
  HANDLE handle = nullptr;
};

namespace {

DWORD WINAPI RunBody(void* state) {
  (*static_cast<std::function<void()>*>(state))();
  return 0;
}

}  // namespace

void Mutex::Lock() { ::AcquireSRWLockExclusive(&state_->lock); }
void Mutex::Unlock() { ::ReleaseSRWLockExclusive(&state_->lock); }

void ConditionVariable::Wait(Lock& lock) {
  ::SleepConditionVariableSRW(&state_->condition, &lock.mutex_.state_->lock, INFINITE, 0);
}
void ConditionVariable::NotifyAll() { ::WakeAllConditionVariable(&state_->condition); }

Thread::Thread(std::function<void()> body) : state_(std::make_unique<State>()) {
  state_->body = std::move(body);
  state_->handle = ::CreateThread(nullptr, 0, RunBody, &state_->body, 0, nullptr);
  if (state_->handle == nullptr) throw std::runtime_error("cannot start a thread");
}

Thread::~Thread() {
  ::WaitForSingleObject(state_->handle, INFINITE);
  ::CloseHandle(state_->handle);
}

#else

struct Mutex::State {
  std::mutex mutex;
};

struct ConditionVariable::State {
  std::condition_variable_any condition;
};

struct Thread::State {
  std::thread thread;
};

void Mutex::Lock() { state_->mutex.lock(); }
void Mutex::Unlock() { state_->mutex.unlock(); }

void ConditionVariable::Wait(Lock& lock) { state_->condition.wait(lock.mutex_.state_->mutex); }
void ConditionVariable::NotifyAll() { state_->condition.notify_all(); }

Thread::Thread(std::function<void()> body) : state_(std::make_unique<State>()) {
  state_->thread = std::thread(std::move(body));
}

Thread::~Thread() { state_->thread.join(); }

#endif

Mutex::Mutex() : state_(std::make_unique<State>()) {}
Mutex::~Mutex() = default;
ConditionVariable::ConditionVariable() : state_(std::make_unique<State>()) {}
ConditionVariable::~ConditionVariable() = default;

}  // namespace bzip2arc
