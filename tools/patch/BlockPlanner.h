// Cuts the new file into blocks, gives each the old range that lines up with
// it, decides per region between delta blocks and literal data, and lays the
// regions out so that compressor blocks do not mix the two.
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
  double literalBias = 1.0;
  std::size_t literalContext = 16384;
  double joinDensity = 1.5;
  std::uint32_t joinLength = 32768;
  // Start a compressor block where the stream turns from delta blocks to
  // literal data or back, by padding, when both sides hold at least
  // minSegment bytes.
  bool alignCompressorBlocks = true;
  std::uint32_t minSegment = 65536;
  unsigned threads = 1;
};

// Writes the blocks for the whole new file (not the end block) to `writer`,
// which must be at the start of both files.
void WriteBlocks(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                 std::span<const std::uint8_t> newData, const PlanOptions& options, PatchWriter& writer);

}  // namespace bzip2arc::patch
