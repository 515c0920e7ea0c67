#include "CopyPlanner.h"

#include <algorithm>
#include <array>
#include <limits>

namespace bzip2arc::patch {
namespace {

constexpr int kStates = 4;  // inserting, or copying under one of three shifts
constexpr std::int64_t kNoShift = std::numeric_limits<std::int64_t>::min();
constexpr double kInfinite = std::numeric_limits<double>::infinity();

// Walks the new positions of a block in order and names the shifts worth
// trying at each: the chain anchors before and after, and any anchor
// covering the position (an anchor off the chain, e.g. moved content).
class ShiftCandidates {
 public:
  ShiftCandidates(const Alignment& alignment, std::uint32_t start) : anchors_(alignment.Anchors()), chain_(alignment.Chain()) {
    anchor_ = static_cast<std::size_t>(
        std::upper_bound(anchors_.begin(), anchors_.end(), start,
                         [](std::uint32_t pos, const Anchor& a) { return pos < a.NewEnd(); }) -
        anchors_.begin());
    chainNext_ = static_cast<std::size_t>(
        std::upper_bound(chain_.begin(), chain_.end(), start,
                         [&](std::uint32_t pos, std::uint32_t k) { return pos < anchors_[k].NewPos; }) -
        chain_.begin());
  }

  // Candidate shifts at position `pos` (called with ascending positions).
  std::array<std::int64_t, kStates - 1> At(std::uint32_t pos) {
    while (anchor_ < anchors_.size() && anchors_[anchor_].NewEnd() <= pos) ++anchor_;
    while (chainNext_ < chain_.size() && anchors_[chain_[chainNext_]].NewPos <= pos) ++chainNext_;
    std::array<std::int64_t, kStates - 1> shifts{kNoShift, kNoShift, kNoShift};
    if (chainNext_ > 0) shifts[0] = anchors_[chain_[chainNext_ - 1]].Offset();
    if (chainNext_ < chain_.size()) shifts[1] = anchors_[chain_[chainNext_]].Offset();
    if (anchor_ < anchors_.size() && anchors_[anchor_].NewPos <= pos) shifts[2] = anchors_[anchor_].Offset();
    if (shifts[1] == shifts[0]) shifts[1] = kNoShift;
    if (shifts[2] == shifts[0] || shifts[2] == shifts[1]) shifts[2] = kNoShift;
    return shifts;
  }

 private:
  const std::vector<Anchor>& anchors_;
  const std::vector<std::uint32_t>& chain_;
  std::size_t anchor_ = 0;
  std::size_t chainNext_ = 0;
};

}  // namespace

std::vector<Copy> PlanCopies(const Alignment& alignment, std::span<const std::uint8_t> oldData,
                             std::span<const std::uint8_t> newData, const BlockRange& range, const CopyCosts& costs) {
  std::vector<Copy> copies;
  if (range.NewEnd <= range.NewBegin || range.OldEnd <= range.OldBegin) return copies;
  const std::size_t length = range.NewEnd - range.NewBegin;

  // Cheapest way to reach each state after each byte (Viterbi); a byte of
  // back pointers per position, two bits per state.
  std::vector<std::uint8_t> from(length);
  std::vector<std::int64_t> shiftOf(length * (kStates - 1));
  std::array<double, kStates> cost{0.0, kInfinite, kInfinite, kInfinite};
  std::array<std::int64_t, kStates> shift{kNoShift, kNoShift, kNoShift, kNoShift};
  ShiftCandidates candidates(alignment, range.NewBegin);

  for (std::size_t k = 0; k < length; ++k) {
    const std::uint32_t pos = range.NewBegin + static_cast<std::uint32_t>(k);
    const auto shifts = candidates.At(pos);
    std::array<double, kStates> next;
    std::uint8_t back = 0;
    bool unchanged = false;
    for (int s = 1; s < kStates; ++s) {
      next[s] = kInfinite;
      const std::int64_t d = shifts[s - 1];
      shiftOf[k * (kStates - 1) + (s - 1)] = d;
      if (d == kNoShift) continue;
      const std::int64_t source = std::int64_t{pos} + d;
      if (source < range.OldBegin || source >= range.OldEnd || oldData[source] != newData[pos]) continue;
      unchanged = true;
      int best = 0;
      double bestCost = kInfinite;
      for (int t = 0; t < kStates; ++t) {
        const double c = cost[t] + ((t != 0 && shift[t] == d) ? 0.0 : costs.Record);
        if (c < bestCost) {
          bestCost = c;
          best = t;
        }
      }
      next[s] = bestCost;
      back |= static_cast<std::uint8_t>(best << (2 * s));
    }
    int cheapest = static_cast<int>(std::min_element(cost.begin(), cost.end()) - cost.begin());
    next[0] = cost[cheapest] + (unchanged ? costs.InsertUnchanged : costs.InsertChanged);
    back |= static_cast<std::uint8_t>(cheapest);
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
    const std::int64_t d = state == 0 ? kNoShift : shiftOf[k * (kStates - 1) + (state - 1)];
    if (d != runShift) {
      if (runShift != kNoShift) {
        const std::uint32_t newPos = range.NewBegin + static_cast<std::uint32_t>(k + 1);
        copies.push_back({newPos, static_cast<std::uint32_t>(newPos + runShift), static_cast<std::uint32_t>(runEnd - k - 1)});
      }
      runShift = d;
      runEnd = k + 1;
    }
    state = (from[k] >> (2 * state)) & 3;
  }
  if (runShift != kNoShift) {
    copies.push_back({range.NewBegin, static_cast<std::uint32_t>(range.NewBegin + runShift), static_cast<std::uint32_t>(runEnd)});
  }
  std::reverse(copies.begin(), copies.end());
  return copies;
}

}  // namespace bzip2arc::patch
