// The DLL's libbz2 guard target. The library serves one extraction at a time
// on its caller's thread, so one for the process is enough, and a per-thread
// one would pull emulated TLS into the DLL.
#include "archive/core/BZip2Guard.h"

namespace bzip2arc {

InternalErrorTarget& CurrentInternalErrorTarget() {
  static InternalErrorTarget target;
  return target;
}

}  // namespace bzip2arc
