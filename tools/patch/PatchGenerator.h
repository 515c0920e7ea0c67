// The patch generator of the archive writer: describes how to turn an old
// file into a new one as a patch stream of literal and delta blocks, aiming
// at the smallest stream after bzip2 -9 compression.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Alignment.h"
#include "BlockPlanner.h"

namespace bzip2arc::patch {

struct PatchOptions {
  AlignmentOptions Alignment;
  PlanOptions Plan;
};

// The uncompressed patch stream turning `oldData` into `newData`. Both must
// be shorter than 2 GiB.
std::vector<std::uint8_t> MakePatch(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                                    const PatchOptions& options = {});

}  // namespace bzip2arc::patch
