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
  SRWLOCK Native = SRWLOCK_INIT;
};

struct ConditionVariable::State {
  CONDITION_VARIABLE Native = CONDITION_VARIABLE_INIT;
};

struct Thread::State {
  std::function<void()> Body;
  HANDLE Native = nullptr;
};

namespace {

DWORD WINAPI RunBody(void* state) {
  (*static_cast<std::function<void()>*>(state))();
  return 0;
}

}  // namespace

void Mutex::Lock() { ::AcquireSRWLockExclusive(&state_->Native); }
void Mutex::Unlock() { ::ReleaseSRWLockExclusive(&state_->Native); }

void ConditionVariable::Wait(Lock& lock) {
  ::SleepConditionVariableSRW(&state_->Native, &lock.mutex_.state_->Native, INFINITE, 0);
}
void ConditionVariable::NotifyAll() { ::WakeAllConditionVariable(&state_->Native); }

Thread::Thread(std::function<void()> body) : state_(std::make_unique<State>()) {
  state_->Body = std::move(body);
  state_->Native = ::CreateThread(nullptr, 0, RunBody, &state_->Body, 0, nullptr);
  if (state_->Native == nullptr) throw std::runtime_error("cannot start a thread");
}

Thread::~Thread() {
  ::WaitForSingleObject(state_->Native, INFINITE);
  ::CloseHandle(state_->Native);
}

#else

struct Mutex::State {
  std::mutex Native;
};

struct ConditionVariable::State {
  std::condition_variable_any Native;
};

struct Thread::State {
  std::thread Native;
};

void Mutex::Lock() { state_->Native.lock(); }
void Mutex::Unlock() { state_->Native.unlock(); }

void ConditionVariable::Wait(Lock& lock) { state_->Native.wait(lock.mutex_.state_->Native); }
void ConditionVariable::NotifyAll() { state_->Native.notify_all(); }

Thread::Thread(std::function<void()> body) : state_(std::make_unique<State>()) {
  state_->Native = std::thread(std::move(body));
}

Thread::~Thread() { state_->Native.join(); }

#endif

Mutex::Mutex() : state_(std::make_unique<State>()) {}
Mutex::~Mutex() = default;
ConditionVariable::ConditionVariable() : state_(std::make_unique<State>()) {}
ConditionVariable::~ConditionVariable() = default;

}  // namespace bzip2arc
