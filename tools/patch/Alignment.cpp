#include "Alignment.h"

#include <algorithm>

namespace bzip2arc::patch {

Alignment::Alignment(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                     const AlignmentOptions& options)
    : old_(oldData), new_(newData), index_(oldData) {
  FindAnchors(options);
  ChooseChain();
}

// Greedy left to right: keep the previous anchor's shift while it matches
// well (aligned code and data), otherwise take the longest indexed match.
void Alignment::FindAnchors(const AlignmentOptions& options) {
  const std::uint32_t oldSize = static_cast<std::uint32_t>(old_.size());
  const std::uint32_t newSize = static_cast<std::uint32_t>(new_.size());
  const std::uint32_t minLength = std::max(options.MinAnchorLength, MatchIndex::kKeyLength);
  if (oldSize < minLength || newSize < minLength) return;
  const MatchIndex& index = index_;
  const std::uint8_t* const o = old_.data();
  const std::uint8_t* const n = new_.data();
  auto lengthAt = [&](std::uint32_t newPos, std::uint32_t oldPos) {
    return CommonLength(n + newPos, o + oldPos, std::min(newSize - newPos, oldSize - oldPos));
  };

  std::int64_t shift = 0;
  std::uint32_t previousEnd = 0;
  const std::uint32_t step = std::clamp<std::uint32_t>(options.LookupStep, 1, minLength - MatchIndex::kKeyLength + 1);
  for (std::uint32_t i = 0; i + MatchIndex::kKeyLength <= newSize;) {
    std::uint32_t bestLength = 0;
    std::uint32_t bestOld = 0;
    const std::int64_t aligned = std::int64_t{i} + shift;
    if (aligned >= 0 && aligned < oldSize) {
      bestOld = static_cast<std::uint32_t>(aligned);
      bestLength = lengthAt(i, bestOld);
    }
    if (bestLength < minLength) {
      bestLength = 0;
      // A match of minLength bytes or more holds a position a multiple of
      // `step` with a whole key after it: looking up only those finds it.
      if (i % step == 0) {
        std::uint32_t tries = 0;
        for (std::uint32_t candidate = index.First(n + i);
             candidate != MatchIndex::kNone && tries < options.MaxCandidates;
             candidate = index.Next(candidate), ++tries) {
          const std::uint32_t length = lengthAt(i, candidate);
          if (length > bestLength) {
            bestLength = length;
            bestOld = candidate;
          }
        }
      }
    }
    // The match may have started before i, in bytes skipped as unmatched.
    std::uint32_t back = 0;
    if (bestLength >= MatchIndex::kKeyLength) {
      while (i - back > previousEnd && bestOld > back && n[i - back - 1] == o[bestOld - back - 1]) ++back;
    }
    if (bestLength + back < minLength) {
      ++i;
      continue;
    }
    anchors_.push_back({i - back, bestOld - back, bestLength + back, false});
    shift = std::int64_t{bestOld} - i;
    i += bestLength;
    previousEnd = i;
  }
}

// Heaviest subsequence of anchors ascending in the old file too (weighted
// longest increasing subsequence over old positions, with a Fenwick tree of
// prefix maxima keyed by old end).
void Alignment::ChooseChain() {
  const std::size_t count = anchors_.size();
  if (count == 0) return;
  std::vector<std::uint32_t> ends(count);
  for (std::size_t k = 0; k < count; ++k) ends[k] = anchors_[k].OldEnd();
  std::vector<std::uint32_t> keys = ends;
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

  struct Best {
    std::uint64_t Weight = 0;
    std::int64_t Last = -1;  // index of the chain's last anchor
  };
  std::vector<Best> tree(keys.size() + 1);
  std::vector<std::uint64_t> weight(count);
  std::vector<std::int64_t> from(count);
  for (std::size_t k = 0; k < count; ++k) {
    // Best chain whose last anchor ends at or before this one's old start.
    Best best;
    std::size_t slot = static_cast<std::size_t>(std::upper_bound(keys.begin(), keys.end(), anchors_[k].OldPos) - keys.begin());
    for (; slot > 0; slot -= slot & (~slot + 1)) {
      if (tree[slot].Weight > best.Weight) best = tree[slot];
    }
    weight[k] = best.Weight + anchors_[k].Length;
    from[k] = best.Last;
    slot = static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), ends[k]) - keys.begin()) + 1;
    for (; slot <= keys.size(); slot += slot & (~slot + 1)) {
      if (weight[k] > tree[slot].Weight) tree[slot] = {weight[k], static_cast<std::int64_t>(k)};
    }
  }
  std::int64_t last = static_cast<std::int64_t>(std::max_element(weight.begin(), weight.end()) - weight.begin());
  for (std::int64_t k = last; k >= 0; k = from[static_cast<std::size_t>(k)]) {
    chain_.push_back(static_cast<std::uint32_t>(k));
    anchors_[static_cast<std::size_t>(k)].InChain = true;
  }
  std::reverse(chain_.begin(), chain_.end());
}

std::uint32_t Alignment::OldPositionAt(std::uint32_t newPos) const {
  const std::uint32_t oldSize = static_cast<std::uint32_t>(old_.size());
  // First chain anchor starting after newPos.
  const auto next = std::upper_bound(chain_.begin(), chain_.end(), newPos,
                                     [&](std::uint32_t pos, std::uint32_t k) { return pos < anchors_[k].NewPos; });
  std::uint32_t low = 0;
  std::uint32_t high = oldSize;
  std::int64_t shift = 0;
  if (next != chain_.begin()) {
    const Anchor& previous = anchors_[*(next - 1)];
    if (newPos < previous.NewEnd()) return static_cast<std::uint32_t>(newPos + previous.Offset());
    low = previous.OldEnd();
    shift = previous.Offset();
  }
  if (next != chain_.end()) {
    const Anchor& following = anchors_[*next];
    high = following.OldPos;
    shift = following.Offset();
  }
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(std::int64_t{newPos} + shift, low, high));
}

}  // namespace bzip2arc::patch
