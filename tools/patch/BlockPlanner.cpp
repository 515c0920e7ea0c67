#include "BlockPlanner.h"

#include <algorithm>
#include <optional>

#include "CompressedSize.h"
#include "CompressorBlocks.h"
#include "ParallelFor.h"

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

// The encoded blocks of one region.
struct Piece {
  std::optional<PatchWriter> part;
  bool literal = false;
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

// Joins runs of neighbouring delta blocks with few copies: a block costs two
// checksums, while positions in a longer block cost only a little more.
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

// Literal data compresses better by this factor at most on the whole region
// than a sample of kLiteralSample bytes of it suggests.
constexpr std::size_t kLiteralSample = 8192;
constexpr double kOptimism = 0.6;
constexpr double kClearlyShorter = 0.4;

class RegionEncoder {
 public:
  RegionEncoder(const Alignment& alignment, std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                const PlanOptions& options, const std::vector<Cut>& cuts)
      : alignment_(alignment), old_(oldData), new_(newData), options_(options), cuts_(cuts) {}

  // Delta blocks for cuts [first, last).
  Piece EncodeDelta(std::size_t first, std::size_t last) const {
    std::vector<PlannedBlock> delta;
    bool anyCopy = false;
    for (std::size_t k = first; k < last; ++k) {
      BlockRange range{cuts_[k].newPos, cuts_[k + 1].newPos, cuts_[k].oldPos, cuts_[k + 1].oldPos};
      range.oldBegin = std::max(range.oldBegin, range.oldEnd - std::min(range.oldEnd, kMaxBlockLength));
      delta.push_back({range, PlanCopies(alignment_, old_, new_, range, options_.costs)});
      anyCopy = anyCopy || !delta.back().copies.empty();
    }
    if (options_.joinDensity > 0) delta = JoinSparseBlocks(std::move(delta), options_.joinDensity, options_.joinLength);
    Piece piece;
    piece.part.emplace(old_, new_, cuts_[first].oldPos, cuts_[first].newPos);
    Emit(delta, *piece.part);
    piece.literal = !anyCopy;
    return piece;
  }

  // Replaces the delta blocks of cuts [first, last) by literal data if that
  // compresses smaller. `context` is what precedes them in the stream: delta
  // blocks profit from their neighbours' statistics, so they are measured
  // by what they add to it.
  void ChooseLiteral(std::size_t first, std::size_t last, std::span<const std::uint8_t> context, Piece& piece) const {
    if (piece.literal || !options_.compareWithLiteral) return;
    const std::vector<PlannedBlock> literal{
        {{cuts_[first].newPos, cuts_[last].newPos, cuts_[first].oldPos, cuts_[last].oldPos}, {}}};
    PatchWriter literalPart(old_, new_, cuts_[first].oldPos, cuts_[first].newPos);
    Emit(literal, literalPart);
    // Delta blocks much shorter than the literal data stay without a trial.
    if (static_cast<double>(piece.part->Bytes().size()) < kClearlyShorter * static_cast<double>(literalPart.Bytes().size())) return;
    // Compressing the literal data costs most: skip it when even an
    // optimistic guess from a small sample loses clearly against the delta
    // blocks (measured alone, which context would only make cheaper).
    const auto literalBytes = literalPart.Bytes();
    const std::size_t sampleLength = std::min<std::size_t>(literalBytes.size(), kLiteralSample);
    const double sampleRatio =
        static_cast<double>(CompressedSize(literalBytes.first(sampleLength))) / static_cast<double>(sampleLength);
    const double literalGuess = kOptimism * sampleRatio * static_cast<double>(literalBytes.size());
    if (options_.literalBias * static_cast<double>(CompressedSize(piece.part->Bytes())) < literalGuess) return;

    std::vector<std::uint8_t> withContext(context.begin(), context.end());
    withContext.insert(withContext.end(), piece.part->Bytes().begin(), piece.part->Bytes().end());
    const double deltaCost = options_.literalBias * (static_cast<double>(CompressedSize(withContext)) -
                                                     static_cast<double>(context.empty() ? 0 : CompressedSize(context)));
    if (deltaCost >= literalGuess && static_cast<double>(CompressedSize(literalBytes)) < deltaCost) {
      piece.part.emplace(std::move(literalPart));
      piece.literal = true;
    }
  }

 private:
  const Alignment& alignment_;
  std::span<const std::uint8_t> old_;
  std::span<const std::uint8_t> new_;
  const PlanOptions& options_;
  const std::vector<Cut>& cuts_;
};

// Pieces in front of which a compressor block should start. Candidates are
// the places where literal data and delta blocks meet (runs shorter than
// minSegment bytes go with their surroundings): kept apart, each kind gets
// its own statistics, but stretches of one kind on either side of the other
// no longer share theirs. Both layouts are compressed block by block and the
// smaller one wins.
std::vector<bool> ChooseSegmentStarts(const std::vector<Piece>& pieces, const PlanOptions& options) {
  constexpr std::size_t kPaddingCost = 200;
  struct Run {
    std::size_t first;
    std::size_t size;
    bool literal;
  };
  std::vector<Run> runs;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::size_t size = pieces[i].part->Bytes().size();
    if (!runs.empty() && runs.back().literal == pieces[i].literal) {
      runs.back().size += size;
    } else {
      runs.push_back({i, size, pieces[i].literal});
    }
  }
  // Kinds alternate from run to run: a short run joins both neighbours,
  // shortest first.
  for (;;) {
    std::size_t shortest = runs.size();
    for (std::size_t m = 0; m < runs.size(); ++m) {
      if (runs[m].size < options.minSegment && (shortest == runs.size() || runs[m].size < runs[shortest].size)) shortest = m;
    }
    if (shortest == runs.size() || runs.size() < 2) break;
    const std::size_t from = shortest == 0 ? 0 : shortest - 1;
    const std::size_t to = std::min(shortest + 1, runs.size() - 1);
    Run joined{runs[from].first, 0, runs[shortest == 0 ? 1 : from].literal};
    for (std::size_t m = from; m <= to; ++m) joined.size += runs[m].size;
    runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(from) + 1, runs.begin() + static_cast<std::ptrdiff_t>(to) + 1);
    runs[from] = joined;
  }
  std::vector<bool> starts(pieces.size(), false);
  if (runs.size() < 2) return starts;

  std::vector<std::uint8_t> content;
  std::vector<std::size_t> pieceOffset;
  for (const Piece& piece : pieces) {
    pieceOffset.push_back(content.size());
    content.insert(content.end(), piece.part->Bytes().begin(), piece.part->Bytes().end());
  }
  // Compressor blocks of both layouts, as [begin, end) in `content`.
  std::vector<std::pair<std::size_t, std::size_t>> whole;
  std::vector<std::pair<std::size_t, std::size_t>> split;
  auto cut = [&](std::size_t begin, std::size_t end, std::vector<std::pair<std::size_t, std::size_t>>& blocks) {
    CompressorBlockTracker tracker;
    std::size_t from = begin;
    for (const std::size_t start : tracker.AddAndFindStarts({content.data() + begin, end - begin})) {
      blocks.emplace_back(from, begin + start);
      from = begin + start;
    }
    blocks.emplace_back(from, end);
  };
  cut(0, content.size(), whole);
  for (std::size_t m = 0; m < runs.size(); ++m) {
    cut(pieceOffset[runs[m].first], m + 1 < runs.size() ? pieceOffset[runs[m + 1].first] : content.size(), split);
  }
  std::vector<std::pair<std::size_t, std::size_t>> blocks = whole;
  blocks.insert(blocks.end(), split.begin(), split.end());
  std::vector<std::size_t> sizes(blocks.size());
  ParallelFor(blocks.size(), options.threads, [&](std::size_t b) {
    sizes[b] = CompressedSize({content.data() + blocks[b].first, blocks[b].second - blocks[b].first});
  });
  std::size_t wholeSize = 0;
  std::size_t splitSize = kPaddingCost * (runs.size() - 1);
  for (std::size_t b = 0; b < blocks.size(); ++b) (b < whole.size() ? wholeSize : splitSize) += sizes[b];
  if (splitSize < wholeSize) {
    for (std::size_t m = 1; m < runs.size(); ++m) starts[runs[m].first] = true;
  }
  return starts;
}

// Appends a padding block that ends the current compressor block.
void PadToCompressorBlock(PatchWriter& writer, CompressorBlockTracker& tracker) {
  // The padding length is part of the padding block's header, which the
  // run-length stage sees too: settle it by a few rounds.
  std::int64_t length = 0;
  for (int round = 0; round < 4; ++round) {
    CompressorBlockTracker trial = tracker;
    std::uint8_t header[21] = {0, 0, 0, 0, 1};
    header[13] = static_cast<std::uint8_t>(length);
    header[14] = static_cast<std::uint8_t>(length >> 8);
    header[15] = static_cast<std::uint8_t>(length >> 16);
    trial.Add(header);
    const std::int64_t needed = trial.BytesToFill();
    if (needed == length) break;
    length = needed;
  }
  if (length <= 0) return;
  const std::size_t before = writer.Bytes().size();
  writer.Padding(static_cast<std::uint32_t>(length));
  tracker.Add(writer.Bytes().subspan(before));
}

}  // namespace

void WriteBlocks(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                 std::span<const std::uint8_t> newData, const PlanOptions& options, PatchWriter& writer) {
  const std::uint32_t newSize = static_cast<std::uint32_t>(newData.size());
  const std::uint32_t blockLength = std::clamp<std::uint32_t>(options.blockLength, 1, 65536);
  const std::vector<Cut> cuts = ChooseCuts(alignment, newSize, blockLength);

  std::vector<std::pair<std::size_t, std::size_t>> regions;
  for (std::size_t first = 0; first + 1 < cuts.size();) {
    std::size_t last = first + 1;
    while (last + 1 < cuts.size() && cuts[last + 1].newPos - cuts[first].newPos <= options.regionLength) ++last;
    regions.emplace_back(first, last);
    first = last;
  }
  const RegionEncoder encoder(alignment, oldData, newData, options, cuts);
  std::vector<Piece> pieces(regions.size());
  ParallelFor(regions.size(), options.threads,
              [&](std::size_t r) { pieces[r] = encoder.EncodeDelta(regions[r].first, regions[r].second); });
  // The context of a region: the end of the delta blocks before it.
  std::vector<std::vector<std::uint8_t>> contexts(regions.size());
  for (std::size_t r = 1; r < regions.size(); ++r) {
    const auto before = pieces[r - 1].part->Bytes();
    contexts[r].assign(before.end() - static_cast<std::ptrdiff_t>(std::min(before.size(), options.literalContext)), before.end());
  }
  ParallelFor(regions.size(), options.threads, [&](std::size_t r) {
    encoder.ChooseLiteral(regions[r].first, regions[r].second, contexts[r], pieces[r]);
  });

  std::vector<bool> segmentStarts(pieces.size(), false);
  if (options.alignCompressorBlocks) segmentStarts = ChooseSegmentStarts(pieces, options);
  CompressorBlockTracker tracker;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (segmentStarts[i]) PadToCompressorBlock(writer, tracker);
    writer.Append(*pieces[i].part);
    tracker.Add(pieces[i].part->Bytes());
  }
}

}  // namespace bzip2arc::patch
