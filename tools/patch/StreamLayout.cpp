#include "StreamLayout.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "CompressedSize.h"
#include "CompressorBlocks.h"
#include "Parallel.h"

namespace bzip2arc::patch {
namespace {

// What a padding block costs compressed, besides the compressor block it
// ends (which the comparison counts).
constexpr std::size_t kPaddingCost = 200;

// Consecutive pieces of one kind.
struct Run {
  std::size_t First;
  std::size_t Size;
  bool Literal;
};

// Runs of literal and delta pieces; a run shorter than minSegment bytes
// joins both neighbours (kinds alternate), shortest first.
std::vector<Run> FindRuns(const std::vector<Piece>& pieces, std::size_t minSegment) {
  std::vector<Run> runs;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::size_t size = pieces[i].Part->Bytes().size();
    if (!runs.empty() && runs.back().Literal == pieces[i].Literal) {
      runs.back().Size += size;
    } else {
      runs.push_back({i, size, pieces[i].Literal});
    }
  }
  while (runs.size() > 1) {
    std::size_t shortest = runs.size();
    for (std::size_t m = 0; m < runs.size(); ++m) {
      if (runs[m].Size < minSegment && (shortest == runs.size() || runs[m].Size < runs[shortest].Size)) shortest = m;
    }
    if (shortest == runs.size()) break;
    const std::size_t from = shortest == 0 ? 0 : shortest - 1;
    const std::size_t to = std::min(shortest + 1, runs.size() - 1);
    Run joined{runs[from].First, 0, runs[shortest == 0 ? 1 : from].Literal};
    for (std::size_t m = from; m <= to; ++m) joined.Size += runs[m].Size;
    runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(from) + 1, runs.begin() + static_cast<std::ptrdiff_t>(to) + 1);
    runs[from] = joined;
  }
  return runs;
}

// Whether starting a compressor block at every run compresses smaller than
// letting blocks fall where they do.
bool SplittingPays(const std::vector<Piece>& pieces, const std::vector<Run>& runs, unsigned threads) {
  std::vector<std::uint8_t> content;
  std::vector<std::size_t> pieceOffset;
  for (const Piece& piece : pieces) {
    pieceOffset.push_back(content.size());
    content.insert(content.end(), piece.Part->Bytes().begin(), piece.Part->Bytes().end());
  }
  // Compressor blocks of both layouts, as [begin, end) in `content`.
  using Blocks = std::vector<std::pair<std::size_t, std::size_t>>;
  auto cut = [&](std::size_t begin, std::size_t end, Blocks& blocks) {
    CompressorBlockTracker tracker;
    std::size_t from = begin;
    for (const std::size_t start : tracker.AddAndFindStarts({content.data() + begin, end - begin})) {
      blocks.emplace_back(from, begin + start);
      from = begin + start;
    }
    blocks.emplace_back(from, end);
  };
  Blocks blocks;
  cut(0, content.size(), blocks);
  const std::size_t wholeBlocks = blocks.size();
  for (std::size_t m = 0; m < runs.size(); ++m) {
    cut(pieceOffset[runs[m].First], m + 1 < runs.size() ? pieceOffset[runs[m + 1].First] : content.size(), blocks);
  }
  std::vector<std::size_t> sizes(blocks.size());
  ParallelFor(blocks.size(), threads, [&](std::size_t b) {
    sizes[b] = CompressedSize({content.data() + blocks[b].first, blocks[b].second - blocks[b].first});
  });
  std::size_t whole = 0;
  std::size_t split = kPaddingCost * (runs.size() - 1);
  for (std::size_t b = 0; b < blocks.size(); ++b) (b < wholeBlocks ? whole : split) += sizes[b];
  return split < whole;
}

// Appends a padding block that ends the current compressor block.
void PadToCompressorBlock(PatchWriter& writer, CompressorBlockTracker& tracker) {
  // The padding length is part of the padding block's header, which the
  // run-length stage sees too: settle it in a few rounds.
  std::int64_t length = 0;
  for (int round = 0; round < 4; ++round) {
    CompressorBlockTracker trial = tracker;
    trial.Add(PatchWriter::PaddingHeader(static_cast<std::uint32_t>(length)));
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

void LayOut(const std::vector<Piece>& pieces, const PlanOptions& options, PatchWriter& writer) {
  std::vector<bool> segmentStarts(pieces.size(), false);
  if (options.AlignCompressorBlocks) {
    const std::vector<Run> runs = FindRuns(pieces, options.MinSegment);
    if (runs.size() > 1 && SplittingPays(pieces, runs, options.Threads)) {
      for (std::size_t m = 1; m < runs.size(); ++m) segmentStarts[runs[m].First] = true;
    }
  }
  CompressorBlockTracker tracker;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (segmentStarts[i]) PadToCompressorBlock(writer, tracker);
    writer.Append(*pieces[i].Part);
    tracker.Add(pieces[i].Part->Bytes());
  }
}

}  // namespace bzip2arc::patch
