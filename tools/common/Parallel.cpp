#include "Parallel.h"

#include <atomic>
#include <exception>
#include <memory>
#include <vector>

#include "Threads.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

namespace bzip2arc {

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

  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;  // written once, by the first job that fails
  auto work = [&] {
    for (std::size_t i = next++; i < count && !failed; i = next++) {
      try {
        job(i);
      } catch (...) {
        if (!failed.exchange(true)) error = std::current_exception();
      }
    }
  };
  {
    std::vector<std::unique_ptr<Thread>> helpers;
    for (unsigned i = 1; i < threads; ++i) helpers.push_back(std::make_unique<Thread>(work));
    work();
  }  // joined here
  if (error) std::rethrow_exception(error);
}

}  // namespace bzip2arc
