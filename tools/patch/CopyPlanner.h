// Chooses the copies of one delta block: for every new byte, insert it or
// copy it under one of the shifts the alignment suggests there, whichever
// costs least overall (copy records are dear, inserted bytes cheap).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Alignment.h"
#include "PatchWriter.h"

namespace bzip2arc::patch {

// Relative costs, in about the bytes each adds to the compressed stream.
struct CopyCosts {
  double Record = 5.0;
  // Extra for a copy whose source field differs from its destination.
  double OffShift = 1.0;
  // An inserted byte that differs from its old counterpart, and one that
  // equals it (cheaper: it continues old content the compressor has seen).
  double InsertChanged = 1.0;
  double InsertUnchanged = 1.0;
};

struct BlockRange {
  std::uint32_t NewBegin;
  std::uint32_t NewEnd;
  std::uint32_t OldBegin;
  std::uint32_t OldEnd;
};

// Copies for new [NewBegin, NewEnd) taken only from old [OldBegin, OldEnd),
// ascending and disjoint.
std::vector<Copy> PlanCopies(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                             std::span<const std::uint8_t> newData, const BlockRange& range, const CopyCosts& costs);

}  // namespace bzip2arc::patch
