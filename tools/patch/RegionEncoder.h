// Encodes one region of the new file (a run of planned blocks): as delta
// blocks, or as literal data where that compresses smaller.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "Alignment.h"
#include "BlockPlanner.h"
#include "PlannedBlocks.h"
#include "PatchWriter.h"

namespace bzip2arc::patch {

// The encoded blocks of one region.
struct Piece {
  std::optional<PatchWriter> Part;
  bool Literal = false;  // literal data only
};

class RegionEncoder {
 public:
  RegionEncoder(const Alignment& alignment, std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                const PlanOptions& options, const std::vector<Cut>& cuts);

  // Delta blocks for the blocks between cuts [first, last).
  Piece EncodeDelta(std::size_t first, std::size_t last) const;

  // Replaces the delta blocks of cuts [first, last) by literal data if that
  // compresses smaller. `context` is what precedes them in the stream: delta
  // blocks profit from their neighbours' statistics, so they are measured
  // by what they add to it.
  void ChooseLiteral(std::size_t first, std::size_t last, std::span<const std::uint8_t> context, Piece& piece) const;

 private:
  const Alignment& alignment_;
  std::span<const std::uint8_t> old_;
  std::span<const std::uint8_t> new_;
  const PlanOptions& options_;
  const std::vector<Cut>& cuts_;
};

}  // namespace bzip2arc::patch
