#include "RegionEncoder.h"

#include <algorithm>

#include "CompressedSize.h"

namespace bzip2arc::patch {
namespace {

// Delta blocks shorter than this fraction of the literal data win without
// a trial.
constexpr double kClearlyShorter = 0.4;
// Literal data compresses better by this factor at most on the whole region
// than a sample of kLiteralSample bytes of it suggests.
constexpr std::size_t kLiteralSample = 8192;
constexpr double kOptimism = 0.6;

}  // namespace

RegionEncoder::RegionEncoder(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                             std::span<const std::uint8_t> newData, const PlanOptions& options, const std::vector<Cut>& cuts)
    : alignment_(alignment), old_(oldData), new_(newData), options_(options), cuts_(cuts) {}

Piece RegionEncoder::EncodeDelta(std::size_t first, std::size_t last) const {
  std::vector<PlannedBlock> delta;
  bool anyCopy = false;
  for (std::size_t k = first; k < last; ++k) {
    BlockRange range{cuts_[k].NewPos, cuts_[k + 1].NewPos, cuts_[k].OldPos, cuts_[k + 1].OldPos};
    // Only the end of an old range longer than a block takes is usable.
    range.OldBegin = std::max(range.OldBegin, range.OldEnd - std::min(range.OldEnd, kMaxBlockLength));
    delta.push_back({range, PlanCopies(alignment_, old_, new_, range, options_.Costs)});
    anyCopy = anyCopy || !delta.back().Copies.empty();
  }
  if (options_.JoinDensity > 0) delta = JoinSparseBlocks(std::move(delta), options_.JoinDensity, options_.JoinLength);
  Piece piece;
  piece.Part.emplace(old_, new_, cuts_[first].OldPos, cuts_[first].NewPos);
  Emit(delta, *piece.Part);
  piece.Literal = !anyCopy;
  return piece;
}

void RegionEncoder::ChooseLiteral(std::size_t first, std::size_t last, std::span<const std::uint8_t> context,
                                  Piece& piece) const {
  if (piece.Literal || !options_.CompareWithLiteral) return;
  const std::vector<PlannedBlock> literal{{{cuts_[first].NewPos, cuts_[last].NewPos, cuts_[first].OldPos, cuts_[last].OldPos}, {}}};
  PatchWriter literalPart(old_, new_, cuts_[first].OldPos, cuts_[first].NewPos);
  Emit(literal, literalPart);
  const auto deltaBytes = piece.Part->Bytes();
  const auto literalBytes = literalPart.Bytes();
  if (static_cast<double>(deltaBytes.size()) < kClearlyShorter * static_cast<double>(literalBytes.size())) return;

  // Compressing the literal data costs most: skip it when even an
  // optimistic guess from a small sample loses clearly against the delta
  // blocks measured alone (context would only make them cheaper).
  const std::size_t sampleLength = std::min(literalBytes.size(), kLiteralSample);
  const double sampleRatio =
      static_cast<double>(CompressedSize(literalBytes.first(sampleLength))) / static_cast<double>(sampleLength);
  const double literalGuess = kOptimism * sampleRatio * static_cast<double>(literalBytes.size());
  if (options_.LiteralBias * static_cast<double>(CompressedSize(deltaBytes)) < literalGuess) return;

  std::vector<std::uint8_t> withContext(context.begin(), context.end());
  withContext.insert(withContext.end(), deltaBytes.begin(), deltaBytes.end());
  const double contextSize = context.empty() ? 0.0 : static_cast<double>(CompressedSize(context));
  const double deltaCost = options_.LiteralBias * (static_cast<double>(CompressedSize(withContext)) - contextSize);
  if (deltaCost >= literalGuess && static_cast<double>(CompressedSize(literalBytes)) < deltaCost) {
    piece.Part.emplace(std::move(literalPart));
    piece.Literal = true;
  }
}

}  // namespace bzip2arc::patch
