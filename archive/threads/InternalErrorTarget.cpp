// The tools' libbz2 guard target: arcset decodes and compresses on several
// threads at once, and an internal error must jump back into the guarded
// call of its own thread.
#include "archive/core/BZip2Guard.h"

namespace bzip2arc {

InternalErrorTarget& CurrentInternalErrorTarget() {
  thread_local InternalErrorTarget target;
  return target;
}

}  // namespace bzip2arc
