// Blocks as planned before they are written: the new bytes, the old range
// their copies may use, and the copies (none: the new bytes go in literally).
#pragma once

#include <cstdint>
#include <vector>

#include "CopyPlanner.h"
#include "PatchWriter.h"

namespace bzip2arc::patch {

// A block boundary: a new position and the old position lining up with it.
struct Cut {
  std::uint32_t NewPos;
  std::uint32_t OldPos;
};

struct PlannedBlock {
  BlockRange Range;
  std::vector<Copy> Copies;
};

// Writes planned blocks (consecutive in both files), joining neighbouring
// literal ones; an old range too long for one block is partly skipped first.
void Emit(const std::vector<PlannedBlock>& blocks, PatchWriter& writer);

// Joins runs of neighbouring delta blocks while the result holds at most
// copiesPerKiB copies per KiB and maxLength new bytes: a block costs two
// checksums, while positions in a longer block cost only a little more.
std::vector<PlannedBlock> JoinSparseBlocks(std::vector<PlannedBlock> blocks, double copiesPerKiB, std::uint32_t maxLength);

}  // namespace bzip2arc::patch
