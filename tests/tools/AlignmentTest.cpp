// The alignment of old and new content and the copies planned from it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Alignment.h"
#include "CopyPlanner.h"
#include "support/TempFolder.h"

namespace {

using bzip2arc::patch::Alignment;
using bzip2arc::patch::AlignmentOptions;
using bzip2arc::patch::BlockRange;
using bzip2arc::patch::CopyCosts;
using bzip2arc::patch::PlanCopies;
using testsupport::Bytes;
using testsupport::PseudoRandomBytes;

Bytes Join(const Bytes& a, const Bytes& b) {
  Bytes all = a;
  all.insert(all.end(), b.begin(), b.end());
  return all;
}

TEST(Alignment, ChainAdvancesInBothFiles) {
  // Two pieces swapped: only one of them can stay in a chain that advances
  // in both files; the other remains an anchor off the chain.
  const Bytes a = PseudoRandomBytes(5000, 1);
  const Bytes b = PseudoRandomBytes(3000, 2);
  const Alignment alignment(Join(a, b), Join(b, a), AlignmentOptions{});
  ASSERT_EQ(alignment.Chain().size(), 1u);
  const auto& kept = alignment.Anchors()[alignment.Chain()[0]];
  EXPECT_EQ(kept.length, 5000u);
  EXPECT_EQ(kept.newPos, 3000u);
  EXPECT_EQ(kept.oldPos, 0u);
  EXPECT_EQ(alignment.Anchors().size(), 2u);
}

TEST(Alignment, OldPositionFollowsTheShiftAndNeverGoesBack) {
  const Bytes oldData = PseudoRandomBytes(20000, 3);
  Bytes newData = PseudoRandomBytes(700, 4);  // inserted in front
  newData.insert(newData.end(), oldData.begin(), oldData.begin() + 10000);
  newData.insert(newData.end(), oldData.begin() + 12000, oldData.end());  // 2000 deleted
  const Alignment alignment(oldData, newData, AlignmentOptions{});
  EXPECT_EQ(alignment.OldPositionAt(700 + 500), 500u);
  EXPECT_EQ(alignment.OldPositionAt(700 + 10000 + 100), 12100u);
  std::uint32_t previous = 0;
  for (std::uint32_t pos = 0; pos <= newData.size(); pos += 13) {
    EXPECT_GE(alignment.OldPositionAt(pos), previous);
    previous = alignment.OldPositionAt(pos);
  }
}

TEST(CopyPlanner, CopiesStayInsideTheOldRange) {
  const Bytes oldData = PseudoRandomBytes(4000, 5);
  const Bytes newData = oldData;
  const Alignment alignment(oldData, newData, AlignmentOptions{});
  const BlockRange range{1000, 2000, 1500, 1800};
  const auto copies = PlanCopies(alignment, oldData, newData, range, CopyCosts{});
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].newPos, 1500u);
  EXPECT_EQ(copies[0].oldPos, 1500u);
  EXPECT_EQ(copies[0].length, 300u);
}

TEST(CopyPlanner, ShortMatchesBetweenChangesAreInserted) {
  const Bytes oldData = PseudoRandomBytes(3000, 6);
  Bytes newData = oldData;
  // Changes 3 bytes apart in the middle: cheaper to insert the two bytes
  // between them than to pay for another copy record.
  newData[1000] ^= 1;
  newData[1003] ^= 1;
  const Alignment alignment(oldData, newData, AlignmentOptions{});
  const BlockRange range{0, 3000, 0, 3000};
  const auto copies = PlanCopies(alignment, oldData, newData, range, CopyCosts{});
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0].length, 1000u);
  EXPECT_EQ(copies[1].newPos, 1004u);
  CopyCosts cheapRecords;
  cheapRecords.record = 0.5;
  EXPECT_EQ(PlanCopies(alignment, oldData, newData, range, cheapRecords).size(), 3u);
}

}  // namespace
