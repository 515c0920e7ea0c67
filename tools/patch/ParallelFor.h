// Runs independent tasks on a few threads. Where the standard library has no
// threads (mingw's win32 thread model) everything runs on the caller's.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <vector>

#if defined(_GLIBCXX_HAS_GTHREADS) || !defined(__GLIBCXX__)
#include <thread>
#define BZ2ARC_PATCH_THREADS 1
#else
#define BZ2ARC_PATCH_THREADS 0
#endif

namespace bzip2arc::patch {

// Calls task(i) for every i in [0, count), on up to `threads` threads; the
// first exception thrown stops the rest and is rethrown here.
template <typename Task>
void ParallelFor(std::size_t count, unsigned threads, const Task& task) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  auto work = [&] {
    try {
      for (std::size_t i = next++; i < count; i = next++) task(i);
    } catch (...) {
      bool expected = false;
      if (failed.compare_exchange_strong(expected, true)) failure = std::current_exception();
      next = count;
    }
  };
#if BZ2ARC_PATCH_THREADS
  {
    std::vector<std::jthread> helpers;
    for (unsigned t = 1; t < std::max(1u, threads) && t < count; ++t) helpers.emplace_back(work);
    work();
  }
#else
  (void)threads;
  work();
#endif
  if (failure) std::rethrow_exception(failure);
}

}  // namespace bzip2arc::patch
