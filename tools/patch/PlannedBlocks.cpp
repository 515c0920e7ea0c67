#include "PlannedBlocks.h"

namespace bzip2arc::patch {

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

std::vector<PlannedBlock> JoinSparseBlocks(std::vector<PlannedBlock> blocks, double copiesPerKiB, std::uint32_t maxLength) {
  std::vector<PlannedBlock> joined;
  for (PlannedBlock& block : blocks) {
    if (!joined.empty()) {
      PlannedBlock& last = joined.back();
      const std::uint32_t length = block.range.newEnd - last.range.newBegin;
      const std::size_t copies = last.copies.size() + block.copies.size();
      if (!last.copies.empty() && !block.copies.empty() && last.range.oldEnd == block.range.oldBegin &&
          length <= maxLength && block.range.oldEnd - last.range.oldBegin <= kMaxBlockLength &&
          static_cast<double>(copies) <= copiesPerKiB * length / 1024.0) {
        for (const Copy& copy : block.copies) {
          Copy& previous = last.copies.back();
          if (previous.newPos + previous.length == copy.newPos && previous.oldPos + previous.length == copy.oldPos) {
            previous.length += copy.length;
          } else {
            last.copies.push_back(copy);
          }
        }
        last.range.newEnd = block.range.newEnd;
        last.range.oldEnd = block.range.oldEnd;
        continue;
      }
    }
    joined.push_back(std::move(block));
  }
  return joined;
}

}  // namespace bzip2arc::patch
