// The library's module-wide state. Each variable is overwritten by the next
// call that sets it and none is reset at the end, so one library instance
// serves one extraction at a time.
#pragma once

#include <cstdint>

#include "archive/bzip2arc.h"

namespace bzip2arc {

extern ProgressProc OverallProgress;  // ExtractAll's progress callback (may be null)
extern std::int32_t FileCount;        // records in the directory ExtractAll read
extern std::int32_t FileIndex;        // record under way, from 0
extern std::int32_t OverallShown;     // the last percentage ExtractAll reported
extern ProgressProc FileProgress;     // DecompressFile's progress callback (may be null)
extern std::int32_t PatchDone;        // patch-stream bytes consumed so far
extern std::int32_t PatchTotal;       // length of the patch stream being applied

}  // namespace bzip2arc
