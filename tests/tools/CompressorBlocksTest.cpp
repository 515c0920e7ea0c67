// The compressor block tracker must know libbz2's block ends to the byte,
// or padding would not start a block where the generator wants one.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "CompressorBlocks.h"
#include "support/TempFolder.h"

namespace {

using bzip2arc::patch::CompressorBlockTracker;
using testsupport::Bytes;

// Counts block headers (the 48-bit magic 0x314159265359, at any bit offset)
// in a bzip2 stream.
int CountBlocks(const Bytes& compressed) {
  constexpr std::uint64_t kMagic = 0x314159265359ull;
  constexpr std::uint64_t kMask = (1ull << 48) - 1;
  std::uint64_t window = 0;
  int count = 0;
  for (std::size_t bit = 0; bit < compressed.size() * 8; ++bit) {
    window = ((window << 1) | ((compressed[bit / 8] >> (7 - bit % 8)) & 1)) & kMask;
    if (bit >= 47 && window == kMagic) ++count;
  }
  return count;
}

// Data with runs of every length up to 300, so that the run-length stage
// matters.
Bytes WithRuns(std::size_t length, std::uint32_t seed) {
  const Bytes noise = testsupport::PseudoRandomBytes(length, seed);
  Bytes out;
  for (std::size_t i = 0; out.size() < length; ++i) {
    const std::size_t run = noise[i % noise.size()] % 8 == 0 ? 1 + (noise[(i * 31) % noise.size()] * 7u) % 300 : 1;
    out.insert(out.end(), run, noise[(i * 17) % noise.size()]);
  }
  out.resize(length);
  return out;
}

Bytes Filler(std::int64_t length, std::uint8_t previous) {
  Bytes filler;
  for (std::int64_t i = 0; i < length; ++i) filler.push_back(i % 2 == 0 ? (previous == 0x55 ? 0xAA : 0x55) : (previous == 0x55 ? 0x55 : 0xAA));
  return filler;
}

TEST(CompressorBlockTracker, CountsTheBlocksLibbz2Makes) {
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    const Bytes data = WithRuns(2500000 + seed * 100000, seed);
    CompressorBlockTracker tracker;
    tracker.Add(data);
    EXPECT_EQ(tracker.BlocksEnded() + 1, CountBlocks(testsupport::Bzip2Compress(data)));
  }
}

TEST(CompressorBlockTracker, FillingEndsTheBlockExactly) {
  for (std::uint32_t seed : {4u, 5u, 6u, 7u}) {
    const Bytes head = WithRuns(300000 + seed * 12345, seed);
    CompressorBlockTracker tracker;
    tracker.Add(head);
    const std::int64_t fill = tracker.BytesToFill();
    ASSERT_GT(fill, 0);
    const Bytes tail = testsupport::PseudoRandomBytes(1000, seed + 100);
    Bytes exact = head;
    const Bytes filler = Filler(fill, head.back());
    exact.insert(exact.end(), filler.begin(), filler.end());
    exact.insert(exact.end(), tail.begin(), tail.end());
    EXPECT_EQ(CountBlocks(testsupport::Bzip2Compress(exact)), 2) << "filled block does not end";

    // One byte less and everything still fits the first block.
    Bytes shortOne = head;
    const Bytes shorter = Filler(fill - 1, head.back());
    shortOne.insert(shortOne.end(), shorter.begin(), shorter.end());
    shortOne.insert(shortOne.end(), 1, tail[0]);
    EXPECT_EQ(CountBlocks(testsupport::Bzip2Compress(shortOne)), 1) << "filler longer than needed";
  }
}

}  // namespace
