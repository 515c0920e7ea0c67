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
};

// The uncompressed patch stream turning `oldData` into `newData`. Both must
// be shorter than 2 GiB.
std::vector<std::uint8_t> MakePatch(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                                    const PatchOptions& options = {});

}  // namespace bzip2arc::patch
