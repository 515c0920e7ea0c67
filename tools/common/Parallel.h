// Runs independent jobs on several threads (Threads.h: std::thread natively,
// Win32 threads under mingw's win32 thread model).
#pragma once

#include <cstddef>
#include <functional>

namespace bzip2arc {

// Calls job(i) for every i below `count`, on up to `threads` threads (0: one
// per core). Returns when all are done; the first exception a job throws is
// rethrown here after the others have finished.
void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& job);

// The processors this process may use; at least 1.
unsigned HardwareThreads();

}  // namespace bzip2arc
