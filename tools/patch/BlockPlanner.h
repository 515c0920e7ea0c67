// Cuts the new file into blocks, gives each the old range that lines up with
// it, and decides per region between delta blocks and literal data.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Alignment.h"
#include "CopyPlanner.h"
#include "PatchWriter.h"

namespace bzip2arc::patch {

struct PlanOptions {
  CopyCosts costs;
  std::uint32_t blockLength = 1024;
  std::uint32_t regionLength = 65536;
  bool compareWithLiteral = true;
};

// Writes the blocks for the whole new file (not the end block) to `writer`,
// which must be at the start of both files.
void WriteBlocks(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                 std::span<const std::uint8_t> newData, const PlanOptions& options, PatchWriter& writer);

}  // namespace bzip2arc::patch
