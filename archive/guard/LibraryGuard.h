// The caller's side of the library's error crossing: runs a call into the
// library and turns an error it raises back into something C++ can handle.
//
// On Windows the library (bzip2arc.dll) reports a failure with the
// structured exception BZIP2ARC_EXCEPTION_CODE (see bzip2arc.h); the guard
// catches it, and any other structured exception raised during the call
// (such as an access violation), with a frame-based handler. Natively the
// library throws bzip2arc::Exception, which the guard catches.
//
// The guard itself throws nothing, so callers built without C++ exceptions
// (the loader) can use it.
#pragma once

#include <cstdint>
#include <exception>

namespace bzip2arc {

struct LibraryFailure {
  // BZIP2ARC_EXCEPTION_CODE for the library's own errors, otherwise the
  // structured exception's code (0 natively).
  std::uint32_t Code = 0;
  char Message[512] = {};
};

// Runs call(context). Returns true when it returned normally, false when it
// raised an error, described in `failure`.
bool CallLibrary(void (*call)(void* context), void* context, LibraryFailure& failure);

#if defined(__cpp_exceptions)
// The same for C++ callers that want an exception.
class LibraryError : public std::exception {
 public:
  explicit LibraryError(const LibraryFailure& failure) : failure_(failure) {}
  const char* what() const noexcept override { return failure_.Message; }

 private:
  LibraryFailure failure_;
};

template <class Call>
void CallLibraryOrThrow(Call&& call) {
  LibraryFailure failure;
  auto run = [](void* context) { (*static_cast<Call*>(context))(); };
  if (!CallLibrary(run, &call, failure)) throw LibraryError(failure);
}
#endif

}  // namespace bzip2arc
