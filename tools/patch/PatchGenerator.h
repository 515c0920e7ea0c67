// The patch generator of the archive writer: describes how to turn an old
// file into a new one as a patch stream of literal and delta blocks, aiming
// at the smallest stream after bzip2 -9 compression.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Alignment.h"
#include "CopyPlanner.h"

namespace bzip2arc::patch {

struct PatchOptions {
  AlignmentOptions alignment;
  CopyCosts costs;
  // New bytes per delta block: small blocks keep copy positions small
  // numbers, each block costs two checksums.
  std::uint32_t blockLength = 1024;
  // New bytes per choice between delta blocks and literal data, made by
  // compressing both.
  std::uint32_t regionLength = 65536;
  bool compareWithLiteral = true;
  // Literal data wins a region only if it compresses below literalBias
  // times the delta blocks; these are measured by what they add to the
  // compressed size of the literalContext bytes of delta blocks before them
  // (alone, they would fare worse than among their neighbours).
  double literalBias = 1.0;
  std::size_t literalContext = 16384;
  // Neighbouring delta blocks are joined, up to joinLength new bytes, while
  // they hold no more than joinDensity copies per KiB.
  double joinDensity = 1.5;
  std::uint32_t joinLength = 32768;
  // Pad the stream so that delta blocks and literal data fall in different
  // bzip2 blocks (each a separately modelled unit); segments shorter than
  // minSegment bytes are not worth a block of their own.
  bool alignCompressorBlocks = true;
  std::uint32_t minSegment = 65536;
  // Threads encoding regions at the same time (the result does not depend
  // on it).
  unsigned threads = 2;
};

// The uncompressed patch stream turning `oldData` into `newData`. Both must
// be shorter than 2 GiB.
std::vector<std::uint8_t> MakePatch(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                                    const PatchOptions& options = {});

}  // namespace bzip2arc::patch
