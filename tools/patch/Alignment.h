// Where the new file's content lies in the old file: exact matches
// ("anchors") found through the hashed index, and the heaviest chain of them
// that advances in both files, which fixes how old and new line up.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "MatchIndex.h"

namespace bzip2arc::patch {

struct Anchor {
  std::uint32_t NewPos;
  std::uint32_t OldPos;
  std::uint32_t Length;
  bool InChain;

  std::uint32_t NewEnd() const { return NewPos + Length; }
  std::uint32_t OldEnd() const { return OldPos + Length; }
  // The shift old - new that the anchor applies.
  std::int64_t Offset() const { return std::int64_t{OldPos} - NewPos; }
};

struct AlignmentOptions {
  // Shortest match taken as an anchor.
  std::uint32_t MinAnchorLength = 12;
  // Hash chain entries tried per position looked up.
  std::uint32_t MaxCandidates = 16;
  // Where the shift of the previous anchor fails, look up every step-th
  // position only (at most MinAnchorLength - 7 for no match to slip through).
  std::uint32_t LookupStep = 4;
};

class Alignment {
 public:
  Alignment(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
            const AlignmentOptions& options);

  // All anchors, ascending and disjoint in the new file.
  const std::vector<Anchor>& Anchors() const { return anchors_; }
  // Indexes into Anchors() of the chain, ascending in both files.
  const std::vector<std::uint32_t>& Chain() const { return chain_; }

  // The old position that lines up with new position `newPos` (0..new size):
  // non-decreasing in newPos, inside a chain anchor the anchor's shift.
  std::uint32_t OldPositionAt(std::uint32_t newPos) const;

  // The index of the old file the anchors were found through.
  const MatchIndex& Index() const { return index_; }

 private:
  void FindAnchors(const AlignmentOptions& options);
  void ChooseChain();

  std::span<const std::uint8_t> old_;
  std::span<const std::uint8_t> new_;
  MatchIndex index_;
  std::vector<Anchor> anchors_;
  std::vector<std::uint32_t> chain_;
};

}  // namespace bzip2arc::patch
