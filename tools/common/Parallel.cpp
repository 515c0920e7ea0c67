#include "Parallel.h"

#include <atomic>
#include <exception>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

namespace bzip2arc {

namespace {

struct Work {
  std::size_t count;
  const std::function<void(std::size_t)>* job;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;  // written once, by the first job that fails

  void Run() {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= count || failed.load()) return;
      try {
        (*job)(i);
      } catch (...) {
        if (!failed.exchange(true)) error = std::current_exception();
      }
    }
  }
};

#ifdef _WIN32
DWORD WINAPI RunWork(void* work) {
  static_cast<Work*>(work)->Run();
  return 0;
}
#endif

}  // namespace

unsigned HardwareThreads() {
#ifdef _WIN32
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
#else
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1;
#endif
}

void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& job) {
  if (threads == 0) threads = HardwareThreads();
  if (threads > count) threads = static_cast<unsigned>(count);
  Work work;
  work.count = count;
  work.job = &job;
  if (threads <= 1) {
    work.Run();
  } else {
#ifdef _WIN32
    std::vector<HANDLE> handles;
    for (unsigned i = 1; i < threads; ++i) {
      const HANDLE handle = ::CreateThread(nullptr, 0, RunWork, &work, 0, nullptr);
      if (handle != nullptr) handles.push_back(handle);
    }
    work.Run();
    for (const HANDLE handle : handles) {
      ::WaitForSingleObject(handle, INFINITE);
      ::CloseHandle(handle);
    }
#else
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i) pool.emplace_back([&work] { work.Run(); });
    work.Run();
    for (auto& thread : pool) thread.join();
#endif
  }
  if (work.error) std::rethrow_exception(work.error);
}

}  // namespace bzip2arc
