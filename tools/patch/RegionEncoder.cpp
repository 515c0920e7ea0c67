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
    BlockRange range{cuts_[k].newPos, cuts_[k + 1].newPos, cuts_[k].oldPos, cuts_[k + 1].oldPos};
    // Only the end of an old range longer than a block takes is usable.
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

void RegionEncoder::ChooseLiteral(std::size_t first, std::size_t last, std::span<const std::uint8_t> context,
                                  Piece& piece) const {
  if (piece.literal || !options_.compareWithLiteral) return;
  const std::vector<PlannedBlock> literal{{{cuts_[first].newPos, cuts_[last].newPos, cuts_[first].oldPos, cuts_[last].oldPos}, {}}};
  PatchWriter literalPart(old_, new_, cuts_[first].oldPos, cuts_[first].newPos);
  Emit(literal, literalPart);
  const auto deltaBytes = piece.part->Bytes();
  const auto literalBytes = literalPart.Bytes();
  if (static_cast<double>(deltaBytes.size()) < kClearlyShorter * static_cast<double>(literalBytes.size())) return;

  // Compressing the literal data costs most: skip it when even an
  // optimistic guess from a small sample loses clearly against the delta
  // blocks measured alone (context would only make them cheaper).
  const std::size_t sampleLength = std::min(literalBytes.size(), kLiteralSample);
  const double sampleRatio =
      static_cast<double>(CompressedSize(literalBytes.first(sampleLength))) / static_cast<double>(sampleLength);
  const double literalGuess = kOptimism * sampleRatio * static_cast<double>(literalBytes.size());
  if (options_.literalBias * static_cast<double>(CompressedSize(deltaBytes)) < literalGuess) return;

  std::vector<std::uint8_t> withContext(context.begin(), context.end());
  withContext.insert(withContext.end(), deltaBytes.begin(), deltaBytes.end());
  const double contextSize = context.empty() ? 0.0 : static_cast<double>(CompressedSize(context));
  const double deltaCost = options_.literalBias * (static_cast<double>(CompressedSize(withContext)) - contextSize);
  if (deltaCost >= literalGuess && static_cast<double>(CompressedSize(literalBytes)) < deltaCost) {
    piece.part.emplace(std::move(literalPart));
    piece.literal = true;
  }
}

}  // namespace bzip2arc::patch
