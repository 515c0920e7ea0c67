#include "ModuleState.h"

namespace bzip2arc {

ProgressProc OverallProgress = nullptr;
std::int32_t FileCount = 0;
std::int32_t FileIndex = 0;
std::int32_t OverallShown = 0;
ProgressProc FileProgress = nullptr;
std::int32_t PatchDone = 0;
std::int32_t PatchTotal = 0;

}  // namespace bzip2arc
