// Lays the encoded regions out in the stream. bzip2 models each of its
// blocks (899,981 bytes after run-length coding at level 9) on its own, so
// delta blocks and literal data compress better apart, unless stretches of
// one kind then lose the company of their kin: both layouts are compressed
// and the smaller wins. Padding blocks start a compressor block where wanted.
#pragma once

#include <vector>

#include "BlockPlanner.h"
#include "PatchWriter.h"
#include "RegionEncoder.h"

namespace bzip2arc::patch {

// Appends the pieces to `writer` (which must be where the first begins),
// with padding in front of those that should start a compressor block.
void LayOut(const std::vector<Piece>& pieces, const PlanOptions& options, PatchWriter& writer);

}  // namespace bzip2arc::patch
