// Cuts the new file into blocks, gives each the old range that lines up with
// it, decides per region between delta blocks and literal data, and lays the
// regions out so that compressor blocks do not mix the two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "Alignment.h"
#include "CopyPlanner.h"
#include "PatchWriter.h"

namespace bzip2arc::patch {

struct PlanOptions {
  CopyCosts Costs;
  // New bytes per delta block: small blocks keep copy positions small
  // numbers, each block costs two checksums.
  std::uint32_t BlockLength = 1024;
  // Neighbouring delta blocks are joined, up to JoinLength new bytes, while
  // they hold no more than JoinDensity copies per KiB.
  double JoinDensity = 1.5;
  std::uint32_t JoinLength = 32768;
  // New bytes per choice between delta blocks and literal data, made by
  // compressing both. Literal data wins only if it compresses below
  // LiteralBias times the delta blocks, measured by what they add to the
  // LiteralContext bytes of delta blocks before them (alone they would fare
  // worse than among their neighbours).
  std::uint32_t RegionLength = 65536;
  bool CompareWithLiteral = true;
  double LiteralBias = 1.0;
  std::size_t LiteralContext = 16384;
  // Pad the stream so that delta blocks and literal data fall in different
  // bzip2 blocks (each modelled on its own) where that compresses better;
  // stretches shorter than MinSegment bytes are not worth a block of their
  // own.
  bool AlignCompressorBlocks = true;
  std::uint32_t MinSegment = 65536;
  // Threads encoding regions at the same time (the result does not depend
  // on it).
  unsigned Threads = 2;
};

// Writes the blocks for the whole new file (not the end block) to `writer`,
// which must be at the start of both files.
void WriteBlocks(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                 std::span<const std::uint8_t> newData, const PlanOptions& options, PatchWriter& writer);

}  // namespace bzip2arc::patch
