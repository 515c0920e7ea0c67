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

// Where bz_internal_error jumps to, while a guarded call runs.
extern jmp_buf* InternalErrorJump;
extern int InternalErrorCode;

template <class Call>
int CallLibbz2(Call&& call) {
  jmp_buf jump;
  jmp_buf* const outer = InternalErrorJump;
  InternalErrorJump = &jump;
  if (setjmp(jump) != 0) {
    InternalErrorJump = outer;
    RaiseCompressionError(InternalErrorCode);
  }
  const int result = call();
  InternalErrorJump = outer;
  return result;
}

#else

template <class Call>
int CallLibbz2(Call&& call) {
  return call();
}

#endif

}  // namespace bzip2arc
