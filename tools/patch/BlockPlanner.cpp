#include "BlockPlanner.h"

#include <algorithm>

#include "CompressedSize.h"

namespace bzip2arc::patch {
namespace {

// A block as planned: its new bytes, the old range its copies may use, and
// the copies (none: the new bytes go in literally).
struct PlannedBlock {
  BlockRange range;
  std::vector<Copy> copies;
};

struct Cut {
  std::uint32_t newPos;
  std::uint32_t oldPos;
};

// Cuts every blockLength new bytes, each at the old position lining up with
// it, so that copies inside a block mostly keep the block's own shift.
std::vector<Cut> ChooseCuts(const Alignment& alignment, std::uint32_t newSize, std::uint32_t blockLength) {
  std::vector<Cut> cuts{{0, 0}};
  for (std::uint32_t pos = blockLength; pos < newSize; pos += std::min(blockLength, newSize - pos)) {
    cuts.push_back({pos, std::max(cuts.back().oldPos, alignment.OldPositionAt(pos))});
  }
  if (newSize > 0) cuts.push_back({newSize, std::max(cuts.back().oldPos, alignment.OldPositionAt(newSize))});
  return cuts;
}

// Writes planned blocks, joining neighbouring literal ones; an old range too
// long for one block is partly skipped first.
void Emit(const std::vector<PlannedBlock>& blocks, PatchWriter& writer) {
  for (std::size_t b = 0; b < blocks.size();) {
    const PlannedBlock& block = blocks[b];
    if (!block.copies.empty()) {
      writer.SkipOld(block.range.oldBegin - writer.OldPosition());
      writer.Delta(block.range.oldEnd - block.range.oldBegin, block.range.newEnd - block.range.newBegin, block.copies);
      ++b;
      continue;
    }
    std::size_t last = b;
    while (last + 1 < blocks.size() && blocks[last + 1].copies.empty() &&
           blocks[last + 1].range.newEnd - block.range.newBegin <= kMaxBlockLength) {
      ++last;
    }
    const std::uint32_t oldEnd = blocks[last].range.oldEnd;
    const std::uint32_t oldLength = oldEnd - writer.OldPosition();
    if (oldLength > kMaxBlockLength) writer.SkipOld(oldLength - kMaxBlockLength);
    writer.Literal(oldEnd - writer.OldPosition(), blocks[last].range.newEnd - block.range.newBegin);
    b = last + 1;
  }
}

}  // namespace

void WriteBlocks(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                 std::span<const std::uint8_t> newData, const PlanOptions& options, PatchWriter& writer) {
  const std::uint32_t newSize = static_cast<std::uint32_t>(newData.size());
  const std::uint32_t blockLength = std::clamp<std::uint32_t>(options.blockLength, 1, 65536);
  const std::vector<Cut> cuts = ChooseCuts(alignment, newSize, blockLength);

  for (std::size_t first = 0; first + 1 < cuts.size();) {
    std::size_t last = first + 1;
    while (last + 1 < cuts.size() && cuts[last + 1].newPos - cuts[first].newPos <= options.regionLength) ++last;

    std::vector<PlannedBlock> delta;
    bool anyCopy = false;
    for (std::size_t k = first; k < last; ++k) {
      BlockRange range{cuts[k].newPos, cuts[k + 1].newPos, cuts[k].oldPos, cuts[k + 1].oldPos};
      range.oldBegin = std::max(range.oldBegin, range.oldEnd - std::min(range.oldEnd, kMaxBlockLength));
      delta.push_back({range, PlanCopies(alignment, oldData, newData, range, options.costs)});
      anyCopy = anyCopy || !delta.back().copies.empty();
    }
    PatchWriter deltaPart(oldData, newData, writer.OldPosition(), writer.NewPosition());
    Emit(delta, deltaPart);
    if (anyCopy && options.compareWithLiteral) {
      std::vector<PlannedBlock> literal{{{cuts[first].newPos, cuts[last].newPos, cuts[first].oldPos, cuts[last].oldPos}, {}}};
      PatchWriter literalPart(oldData, newData, writer.OldPosition(), writer.NewPosition());
      Emit(literal, literalPart);
      if (CompressedSize(literalPart.Bytes()) < CompressedSize(deltaPart.Bytes())) {
        writer.Append(literalPart);
        first = last;
        continue;
      }
    }
    writer.Append(deltaPart);
    first = last;
  }
}

}  // namespace bzip2arc::patch
