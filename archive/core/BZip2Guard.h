// Calls into libbz2 that can fail inside it. Where libbz2 is built with
// BZ_NO_STDIO (the win32 build) it reports an internal consistency failure
// by calling the program's bz_internal_error. libbz2 is C without unwind
// tables, so no exception may pass through its frames: the hook jumps back
// over them to the guard, which raises EBZip2Error "Compression Error %d".
// Debian's libbz2 (native builds) handles such failures itself.
#pragma once

#include <setjmp.h>

namespace bzip2arc {

[[noreturn]] void RaiseCompressionError(int code);

#ifdef BZ_NO_STDIO

// Where bz_internal_error jumps to while a guarded call runs, and the code it
// passes. Each thread that calls libbz2 needs its own: the DLL serves its
// caller's one thread and keeps one for the process (exports/), the tools
// call libbz2 on several threads at once and keep one per thread (threads/).
struct InternalErrorTarget {
  jmp_buf* Jump = nullptr;
  int Code = 0;
};
InternalErrorTarget& CurrentInternalErrorTarget();

template <class Call>
int CallLibbz2(Call&& call) {
  InternalErrorTarget& target = CurrentInternalErrorTarget();
  jmp_buf jump;
  jmp_buf* const outer = target.Jump;
  target.Jump = &jump;
  if (setjmp(jump) != 0) {
    target.Jump = outer;
    RaiseCompressionError(target.Code);
  }
  const int result = call();
  target.Jump = outer;
  return result;
}

#else

template <class Call>
int CallLibbz2(Call&& call) {
  return call();
}

#endif

}  // namespace bzip2arc
