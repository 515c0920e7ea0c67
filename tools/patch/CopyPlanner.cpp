#include "CopyPlanner.h"

#include <algorithm>
#include <array>
#include <limits>

namespace bzip2arc::patch {
namespace {

constexpr int kShifts = 4;
constexpr int kStates = kShifts + 1;  // inserting, or copying under one of the shifts
constexpr std::int64_t kNoShift = std::numeric_limits<std::int64_t>::min();
constexpr double kInfinite = std::numeric_limits<double>::infinity();
// Back pointers: the previous state of each state, in a field of its own.
constexpr int kStateBits = 3;
using BackPointers = std::uint16_t;
static_assert(kStates <= (1 << kStateBits) && kStates * kStateBits <= 16);

// Walks the new positions of a block in order and names the shifts worth
// trying at each: the chain anchors before and after, any anchor covering
// the position (an anchor off the chain, e.g. moved content), and the
// longest match inside the block's old range where none of those matches
// (short repeats too small or too far off the chain to be anchors).
class ShiftCandidates {
 public:
  ShiftCandidates(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                  std::span<const std::uint8_t> newData, const BlockRange& range)
      : alignment_(alignment), anchors_(alignment.Anchors()), chain_(alignment.Chain()), old_(oldData), new_(newData),
        range_(range) {
    anchor_ = static_cast<std::size_t>(
        std::upper_bound(anchors_.begin(), anchors_.end(), range.NewBegin,
                         [](std::uint32_t pos, const Anchor& a) { return pos < a.NewEnd(); }) -
        anchors_.begin());
    chainNext_ = static_cast<std::size_t>(
        std::upper_bound(chain_.begin(), chain_.end(), range.NewBegin,
                         [&](std::uint32_t pos, std::uint32_t k) { return pos < anchors_[k].NewPos; }) -
        chain_.begin());
  }

  // Candidate shifts at position `pos` (called with ascending positions).
  std::array<std::int64_t, kShifts> At(std::uint32_t pos) {
    while (anchor_ < anchors_.size() && anchors_[anchor_].NewEnd() <= pos) ++anchor_;
    while (chainNext_ < chain_.size() && anchors_[chain_[chainNext_]].NewPos <= pos) ++chainNext_;
    std::array<std::int64_t, kShifts> shifts{kNoShift, kNoShift, kNoShift, kNoShift};
    if (chainNext_ > 0) shifts[0] = anchors_[chain_[chainNext_ - 1]].Offset();
    if (chainNext_ < chain_.size()) shifts[1] = anchors_[chain_[chainNext_]].Offset();
    if (anchor_ < anchors_.size() && anchors_[anchor_].NewPos <= pos) shifts[2] = anchors_[anchor_].Offset();
    bool anyMatches = false;
    for (int s = 0; s < 3; ++s) anyMatches = anyMatches || Matches(pos, shifts[s]);
    if (!Matches(pos, local_) && !anyMatches) local_ = LongestMatch(pos);
    shifts[3] = local_;
    for (int s = 1; s < kShifts; ++s) {
      for (int t = 0; t < s; ++t) {
        if (shifts[s] == shifts[t]) shifts[s] = kNoShift;
      }
    }
    return shifts;
  }

  // Whether new byte `pos` equals the old byte `shift` away, inside the
  // block's old range.
  bool Matches(std::uint32_t pos, std::int64_t shift) const {
    if (shift == kNoShift) return false;
    const std::int64_t source = std::int64_t{pos} + shift;
    return source >= range_.OldBegin && source < range_.OldEnd && old_[static_cast<std::size_t>(source)] == new_[pos];
  }

 private:
  static constexpr std::uint32_t kMaxCandidates = 8;

  std::int64_t LongestMatch(std::uint32_t pos) const {
    if (range_.NewEnd - pos < MatchIndex::kKeyLength) return kNoShift;
    const MatchIndex& index = alignment_.Index();
    std::uint32_t bestLength = 0;
    std::int64_t best = kNoShift;
    std::uint32_t tries = 0;
    for (std::uint32_t candidate = index.First(new_.data() + pos); candidate != MatchIndex::kNone && tries < kMaxCandidates;
         candidate = index.Next(candidate), ++tries) {
      if (candidate < range_.OldBegin || candidate >= range_.OldEnd) continue;
      const std::uint32_t length = CommonLength(new_.data() + pos, old_.data() + candidate,
                                                std::min(range_.NewEnd - pos, range_.OldEnd - candidate));
      if (length >= MatchIndex::kKeyLength && length > bestLength) {
        bestLength = length;
        best = std::int64_t{candidate} - pos;
      }
    }
    return best;
  }

  const Alignment& alignment_;
  const std::vector<Anchor>& anchors_;
  const std::vector<std::uint32_t>& chain_;
  std::span<const std::uint8_t> old_;
  std::span<const std::uint8_t> new_;
  BlockRange range_;
  std::size_t anchor_ = 0;
  std::size_t chainNext_ = 0;
  std::int64_t local_ = kNoShift;
};

}  // namespace

std::vector<Copy> PlanCopies(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                             std::span<const std::uint8_t> newData, const BlockRange& range, const CopyCosts& costs) {
  std::vector<Copy> copies;
  if (range.NewEnd <= range.NewBegin || range.OldEnd <= range.OldBegin) return copies;
  const std::size_t length = range.NewEnd - range.NewBegin;

  // Cheapest way to reach each state after each byte (Viterbi), with the
  // state each state came from, per position.
  std::vector<BackPointers> from(length);
  std::vector<std::int64_t> shiftOf(length * kShifts);
  std::array<double, kStates> cost;
  cost.fill(kInfinite);
  cost[0] = 0.0;
  std::array<std::int64_t, kStates> shift;
  shift.fill(kNoShift);
  ShiftCandidates candidates(alignment, oldData, newData, range);
  // A copy under the block's own shift has equal source and destination
  // fields, which the compressor learns; any other shift costs more.
  const std::int64_t blockShift = std::int64_t{range.OldBegin} - range.NewBegin;
  const double offRecord = costs.Record + costs.OffShift;

  for (std::size_t k = 0; k < length; ++k) {
    const std::uint32_t pos = range.NewBegin + static_cast<std::uint32_t>(k);
    const auto shifts = candidates.At(pos);
    std::array<double, kStates> next;
    BackPointers back = 0;
    bool unchanged = false;
    for (int s = 1; s < kStates; ++s) {
      next[s] = kInfinite;
      const std::int64_t d = shifts[s - 1];
      shiftOf[k * kShifts + (s - 1)] = d;
      if (!candidates.Matches(pos, d)) continue;
      unchanged = true;
      int best = 0;
      double bestCost = kInfinite;
      for (int t = 0; t < kStates; ++t) {
        const double c = cost[t] + ((t != 0 && shift[t] == d) ? 0.0 : d == blockShift ? costs.Record : offRecord);
        if (c < bestCost) {
          bestCost = c;
          best = t;
        }
      }
      next[s] = bestCost;
      back |= static_cast<BackPointers>(best << (kStateBits * s));
    }
    int cheapest = static_cast<int>(std::min_element(cost.begin(), cost.end()) - cost.begin());
    next[0] = cost[cheapest] + (unchanged ? costs.InsertUnchanged : costs.InsertChanged);
    back |= static_cast<BackPointers>(cheapest);
    from[k] = back;
    cost = next;
    shift[0] = kNoShift;
    for (int s = 1; s < kStates; ++s) shift[s] = shifts[s - 1];
  }

  // Back from the cheapest final state, collecting runs of equal shift.
  int state = static_cast<int>(std::min_element(cost.begin(), cost.end()) - cost.begin());
  std::int64_t runShift = kNoShift;
  std::size_t runEnd = 0;
  for (std::size_t k = length; k-- > 0;) {
    const std::int64_t d = state == 0 ? kNoShift : shiftOf[k * kShifts + (state - 1)];
    if (d != runShift) {
      if (runShift != kNoShift) {
        const std::uint32_t newPos = range.NewBegin + static_cast<std::uint32_t>(k + 1);
        copies.push_back({newPos, static_cast<std::uint32_t>(newPos + runShift), static_cast<std::uint32_t>(runEnd - k - 1)});
      }
      runShift = d;
      runEnd = k + 1;
    }
    state = (from[k] >> (kStateBits * state)) & ((1 << kStateBits) - 1);
  }
  if (runShift != kNoShift) {
    copies.push_back({range.NewBegin, static_cast<std::uint32_t>(range.NewBegin + runShift), static_cast<std::uint32_t>(runEnd)});
  }
  std::reverse(copies.begin(), copies.end());
  return copies;
}

}  // namespace bzip2arc::patch
