#include "PlannedBlocks.h"

namespace bzip2arc::patch {

void Emit(const std::vector<PlannedBlock>& blocks, PatchWriter& writer) {
  for (std::size_t b = 0; b < blocks.size();) {
    const PlannedBlock& block = blocks[b];
    if (!block.Copies.empty()) {
      writer.SkipOld(block.Range.OldBegin - writer.OldPosition());
      writer.Delta(block.Range.OldEnd - block.Range.OldBegin, block.Range.NewEnd - block.Range.NewBegin, block.Copies);
      ++b;
      continue;
    }
    std::size_t last = b;
    while (last + 1 < blocks.size() && blocks[last + 1].Copies.empty() &&
           blocks[last + 1].Range.NewEnd - block.Range.NewBegin <= kMaxBlockLength) {
      ++last;
    }
    const std::uint32_t oldEnd = blocks[last].Range.OldEnd;
    const std::uint32_t oldLength = oldEnd - writer.OldPosition();
    if (oldLength > kMaxBlockLength) writer.SkipOld(oldLength - kMaxBlockLength);
    writer.Literal(oldEnd - writer.OldPosition(), blocks[last].Range.NewEnd - block.Range.NewBegin);
    b = last + 1;
  }
}

std::vector<PlannedBlock> JoinSparseBlocks(std::vector<PlannedBlock> blocks, double copiesPerKiB, std::uint32_t maxLength) {
  std::vector<PlannedBlock> joined;
  for (PlannedBlock& block : blocks) {
    if (!joined.empty()) {
      PlannedBlock& last = joined.back();
      const std::uint32_t length = block.Range.NewEnd - last.Range.NewBegin;
      const std::size_t copies = last.Copies.size() + block.Copies.size();
      if (!last.Copies.empty() && !block.Copies.empty() && last.Range.OldEnd == block.Range.OldBegin &&
          length <= maxLength && block.Range.OldEnd - last.Range.OldBegin <= kMaxBlockLength &&
          static_cast<double>(copies) <= copiesPerKiB * length / 1024.0) {
        for (const Copy& copy : block.Copies) {
          Copy& previous = last.Copies.back();
          if (previous.NewPos + previous.Length == copy.NewPos && previous.OldPos + previous.Length == copy.OldPos) {
            previous.Length += copy.Length;
          } else {
            last.Copies.push_back(copy);
          }
        }
        last.Range.NewEnd = block.Range.NewEnd;
        last.Range.OldEnd = block.Range.OldEnd;
        continue;
      }
    }
    joined.push_back(std::move(block));
  }
  return joined;
}

}  // namespace bzip2arc::patch
