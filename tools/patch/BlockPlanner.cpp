#include "BlockPlanner.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "Parallel.h"
#include "PlannedBlocks.h"
#include "RegionEncoder.h"
#include "StreamLayout.h"

namespace bzip2arc::patch {
namespace {

// Cuts every blockLength new bytes, each at the old position lining up with
// it, so that copies inside a block mostly keep the block's own shift.
std::vector<Cut> ChooseCuts(const Alignment& alignment, std::uint32_t newSize, std::uint32_t blockLength) {
  std::vector<Cut> cuts{{0, 0}};
  for (std::uint32_t pos = blockLength; pos < newSize; pos += std::min(blockLength, newSize - pos)) {
    cuts.push_back({pos, std::max(cuts.back().OldPos, alignment.OldPositionAt(pos))});
  }
  if (newSize > 0) cuts.push_back({newSize, std::max(cuts.back().OldPos, alignment.OldPositionAt(newSize))});
  return cuts;
}

}  // namespace

void WriteBlocks(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                 std::span<const std::uint8_t> newData, const PlanOptions& options, PatchWriter& writer) {
  const std::uint32_t newSize = static_cast<std::uint32_t>(newData.size());
  const std::uint32_t blockLength = std::clamp<std::uint32_t>(options.BlockLength, 1, 65536);
  const std::vector<Cut> cuts = ChooseCuts(alignment, newSize, blockLength);

  // Regions: runs of cuts spanning at most regionLength new bytes.
  std::vector<std::pair<std::size_t, std::size_t>> regions;
  for (std::size_t first = 0; first + 1 < cuts.size();) {
    std::size_t last = first + 1;
    while (last + 1 < cuts.size() && cuts[last + 1].NewPos - cuts[first].NewPos <= options.RegionLength) ++last;
    regions.emplace_back(first, last);
    first = last;
  }
  const RegionEncoder encoder(alignment, oldData, newData, options, cuts);
  std::vector<Piece> pieces(regions.size());
  ParallelFor(regions.size(), options.Threads,
              [&](std::size_t r) { pieces[r] = encoder.EncodeDelta(regions[r].first, regions[r].second); });
  // A region's context: the end of the delta blocks before it.
  std::vector<std::vector<std::uint8_t>> contexts(regions.size());
  for (std::size_t r = 1; r < regions.size(); ++r) {
    const auto before = pieces[r - 1].Part->Bytes();
    contexts[r].assign(before.end() - static_cast<std::ptrdiff_t>(std::min(before.size(), options.LiteralContext)),
                       before.end());
  }
  ParallelFor(regions.size(), options.Threads, [&](std::size_t r) {
    encoder.ChooseLiteral(regions[r].first, regions[r].second, contexts[r], pieces[r]);
  });
  LayOut(pieces, options, writer);
}

}  // namespace bzip2arc::patch
