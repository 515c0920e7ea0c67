// The patch generator: every patch must rebuild the new file through the real
// applier and keep the stream's limits, whatever the inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "CompressorBlocks.h"
#include "PatchGenerator.h"
#include "PatchWriter.h"
#include "archive/ByteOrder.h"
#include "archive/CRC32.h"
#include "archive/Diff.h"
#include "archive/MemoryStream.h"
#include "support/TempFolder.h"

namespace {

using bzip2arc::LoadU16LE;
using bzip2arc::LoadU32LE;
using bzip2arc::patch::MakePatch;
using bzip2arc::patch::PatchOptions;
using testsupport::Bytes;
using testsupport::PseudoRandomBytes;

constexpr std::uint32_t kLimit = 2 * 1024 * 1024;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Slice(const Bytes& data, std::size_t begin, std::size_t end) {
  return Bytes(data.begin() + static_cast<std::ptrdiff_t>(begin), data.begin() + static_cast<std::ptrdiff_t>(end));
}

// What a parsed stream holds, for checks beyond the round trip.
struct StreamShape {
  int literalBlocks = 0;
  int deltaBlocks = 0;
  std::size_t records = 0;
  std::uint64_t oldConsumed = 0;
  std::uint64_t paddingBytes = 0;
  std::vector<std::size_t> paddingEnds;  // stream offsets after padding blocks
};

// Walks a patch stream and checks every rule the applier relies on; returns
// its shape. Failures are reported through gtest.
StreamShape CheckStream(const Bytes& patch, std::size_t oldSize, std::size_t newSize) {
  StreamShape shape;
  std::size_t p = 0;
  std::uint64_t produced = 0;
  auto need = [&](std::size_t count) {
    if (patch.size() - p < count) throw std::runtime_error("stream ends inside a block at " + std::to_string(p));
  };
  for (;;) {
    need(5);
    const std::uint32_t oldLength = LoadU32LE(&patch[p]);
    const std::uint8_t type = patch[p + 4];
    p += 5;
    EXPECT_LE(oldLength, kLimit);
    const std::uint64_t oldBegin = shape.oldConsumed;
    shape.oldConsumed += oldLength;
    if (type == 0) {
      need(4);
      const std::uint32_t dataLength = LoadU32LE(&patch[p]);
      p += 4;
      if (dataLength == 0) break;
      EXPECT_LE(dataLength, kLimit);
      need(4 + std::size_t{dataLength});
      EXPECT_EQ(LoadU32LE(&patch[p]), bzip2arc::CRC32Checksum(&patch[p + 4], dataLength));
      p += 4 + std::size_t{dataLength};
      produced += dataLength;
      ++shape.literalBlocks;
      continue;
    }
    EXPECT_EQ(type, 1) << "block type at " << p - 1;
    // A delta block reads its whole old range: it must lie in the old file.
    EXPECT_LE(shape.oldConsumed, oldSize);
    need(16);
    const std::uint32_t insertedLength = LoadU32LE(&patch[p + 8]);
    const std::uint32_t tableLength = LoadU32LE(&patch[p + 12]);
    p += 16;
    EXPECT_LE(insertedLength, kLimit);
    EXPECT_LE(tableLength, kLimit);
    EXPECT_EQ(tableLength % 10, 0u);
    need(std::size_t{insertedLength} + tableLength);
    const std::uint8_t* table = &patch[p + insertedLength];
    p += std::size_t{insertedLength} + tableLength;
    std::uint64_t o = 0;
    std::uint64_t gaps = 0;
    bool endsWithInsert = false;
    for (std::uint32_t r = 0; r < tableLength / 10; ++r) {
      const std::uint32_t length = LoadU16LE(table + 10 * r);
      const std::uint32_t source = LoadU32LE(table + 10 * r + 2);
      const std::uint32_t destination = LoadU32LE(table + 10 * r + 6);
      EXPECT_GE(destination, o + 1) << "records overlap or go backwards";
      gaps += destination - 1 - o;
      if (length == 0) {
        // Only the closing record of a block ending with inserted bytes.
        EXPECT_EQ(r + 1, tableLength / 10) << "empty copy record inside the table";
        EXPECT_GT(destination - 1, o) << "empty copy record without inserted bytes in front";
        endsWithInsert = true;
      } else {
        EXPECT_GE(source, 1u);
        EXPECT_LE(std::uint64_t{source} - 1 + length, oldLength) << "copy outside the old range";
        (void)oldBegin;
      }
      o = destination - 1 + length;
    }
    (void)endsWithInsert;
    // Inserted bytes beyond the gaps are allowed (and ignored): padding.
    EXPECT_LE(gaps, insertedLength) << "gaps need more inserted bytes than given";
    if (gaps < insertedLength) {
      EXPECT_EQ(oldLength, 0u) << "unused inserted bytes outside a padding block";
      EXPECT_EQ(tableLength, 0u) << "unused inserted bytes outside a padding block";
      shape.paddingBytes += insertedLength - gaps;
      shape.paddingEnds.push_back(p);
    }
    EXPECT_LE(o, kLimit);
    produced += o;
    shape.records += tableLength / 10;
    ++shape.deltaBlocks;
  }
  EXPECT_EQ(p, patch.size()) << "bytes after the end block";
  EXPECT_EQ(produced, newSize);
  return shape;
}

Bytes Apply(const Bytes& patch, const Bytes& oldData) {
  bzip2arc::TMemoryStream patchStream(patch);
  bzip2arc::TMemoryStream oldStream(oldData);
  bzip2arc::TMemoryStream newStream;
  bzip2arc::ApplyPatch(patchStream, oldStream, newStream, nullptr);
  return newStream.Bytes();
}

// Generates, checks the stream and applies it; returns the patch.
Bytes RoundTrip(const Bytes& oldData, const Bytes& newData, const PatchOptions& options = {}) {
  const Bytes patch = MakePatch(oldData, newData, options);
  EXPECT_NO_THROW(CheckStream(patch, oldData.size(), newData.size()));
  const Bytes rebuilt = Apply(patch, oldData);
  EXPECT_EQ(rebuilt.size(), newData.size());
  EXPECT_TRUE(rebuilt == newData) << "applied patch does not rebuild the new file";
  return patch;
}

std::size_t Compressed(const Bytes& patch) { return testsupport::Bzip2Compress(patch).size(); }

// Something like machine code: a small vocabulary of byte strings.
Bytes CodeLike(std::size_t length, std::uint32_t seed) {
  const Bytes words = PseudoRandomBytes(4096, seed);
  const Bytes picks = PseudoRandomBytes(length, seed + 1);
  Bytes out;
  for (std::size_t i = 0; out.size() < length; ++i) {
    const std::size_t at = (picks[i % picks.size()] * 13u + i) % (words.size() - 8);
    const std::size_t count = 1 + picks[(i * 7) % picks.size()] % 8;
    out.insert(out.end(), words.begin() + static_cast<std::ptrdiff_t>(at), words.begin() + static_cast<std::ptrdiff_t>(at + count));
  }
  out.resize(length);
  return out;
}

TEST(PatchGeneratorEdges, BothEmptyGiveTheEndBlockAlone) {
  const Bytes patch = RoundTrip({}, {});
  EXPECT_EQ(patch, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PatchGeneratorEdges, EmptyNewFileGivesTheEndBlockAlone) {
  const Bytes patch = RoundTrip(PseudoRandomBytes(5000, 1), {});
  EXPECT_EQ(patch.size(), 9u);
}

TEST(PatchGeneratorEdges, EmptyOldFileGivesLiteralBlocksOnly) {
  const Bytes newData = PseudoRandomBytes(300000, 2, 16);
  const StreamShape shape = CheckStream(RoundTrip({}, newData), 0, newData.size());
  EXPECT_EQ(shape.deltaBlocks, 0);
  EXPECT_EQ(shape.oldConsumed, 0u);
}

TEST(PatchGeneratorEdges, TinyFilesShorterThanAMatchKey) {
  RoundTrip(Bytes{1, 2, 3}, Bytes{1, 2, 3});
  RoundTrip(Bytes{1}, Bytes{2, 3});
  RoundTrip(Bytes{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}, Bytes{5});
}

TEST(PatchGeneratorEdges, RejectsInvalidWriterUse) {
  const Bytes oldData(100, 1);
  const Bytes newData(100, 1);
  bzip2arc::patch::PatchWriter writer(oldData, newData);
  const bzip2arc::patch::Copy outside{0, 90, 20};
  EXPECT_THROW(writer.Delta(100, 100, {&outside, 1}), std::logic_error);
  EXPECT_THROW(writer.Finish(), std::logic_error);
}

TEST(PatchGeneratorContent, IdenticalFilesCostAlmostNothing) {
  const Bytes data = CodeLike(3 * 1024 * 1024 + 123, 3);
  const Bytes patch = RoundTrip(data, data);
  EXPECT_LT(Compressed(patch), data.size() / 100);
}

TEST(PatchGeneratorContent, SmallEditsInALargeFile) {
  const Bytes oldData = CodeLike(2 * 1024 * 1024 + 777, 4);
  Bytes newData = oldData;
  const Bytes positions = PseudoRandomBytes(400, 5);
  for (std::size_t i = 0; i < 200; ++i) {
    const std::size_t at = (LoadU16LE(&positions[2 * i]) * 97u + i * 10007u) % newData.size();
    newData[at] ^= 0x5A;
  }
  const Bytes patch = RoundTrip(oldData, newData);
  EXPECT_LT(Compressed(patch), 20000u);
  // Blocks with few copies are joined: far fewer blocks than KiB.
  const StreamShape shape = CheckStream(patch, oldData.size(), newData.size());
  EXPECT_LT(shape.deltaBlocks + shape.literalBlocks, static_cast<int>(newData.size() / 1024 / 8));
}

TEST(PatchGeneratorContent, PureInsertion) {
  const Bytes oldData = CodeLike(200000, 6);
  const Bytes inserted = PseudoRandomBytes(5000, 7);
  const Bytes newData = Concat({Slice(oldData, 0, 70000), inserted, Slice(oldData, 70000, oldData.size())});
  const Bytes patch = RoundTrip(oldData, newData);
  EXPECT_LT(Compressed(patch), 9000u);
}

TEST(PatchGeneratorContent, PureDeletion) {
  const Bytes oldData = CodeLike(200000, 8);
  const Bytes newData = Concat({Slice(oldData, 0, 50000), Slice(oldData, 61000, oldData.size())});
  const Bytes patch = RoundTrip(oldData, newData);
  EXPECT_LT(Compressed(patch), 4000u);
}

TEST(PatchGeneratorContent, DeletionLongerThanOneOldRange) {
  const Bytes oldData = CodeLike(5 * 1024 * 1024, 9);
  const Bytes newData = Concat({Slice(oldData, 0, 100000), Slice(oldData, oldData.size() - 100000, oldData.size())});
  const Bytes patch = RoundTrip(oldData, newData);
  EXPECT_LT(Compressed(patch), 4000u);
}

TEST(PatchGeneratorContent, MovedBlocks) {
  const Bytes oldData = CodeLike(120000, 10);
  const Bytes newData = Concat({Slice(oldData, 80000, 120000), Slice(oldData, 40000, 80000), Slice(oldData, 0, 40000)});
  const Bytes patch = RoundTrip(oldData, newData);
  EXPECT_LT(patch.size(), newData.size());
}

TEST(PatchGeneratorContent, LargeFilesNeedManyBlocks) {
  const Bytes oldData = PseudoRandomBytes(6 * 1024 * 1024, 11, 64);
  Bytes newData = Concat({Slice(oldData, 0, 3000000), PseudoRandomBytes(1000, 12), Slice(oldData, 3000000, oldData.size())});
  PatchOptions options;
  options.plan.blockLength = 65536;
  const StreamShape shape = CheckStream(RoundTrip(oldData, newData, options), oldData.size(), newData.size());
  EXPECT_GT(shape.deltaBlocks, 90);
}

TEST(PatchGeneratorContent, LongRuns) {
  Bytes oldData(3 * 1024 * 1024, 0);
  std::fill(oldData.begin() + 1000000, oldData.begin() + 1500000, 0xFF);
  Bytes newData(3 * 1024 * 1024 + 5000, 0);
  std::fill(newData.begin() + 1200000, newData.begin() + 1900000, 0xFF);
  newData[2500000] = 7;
  const Bytes patch = RoundTrip(oldData, newData);
  EXPECT_LT(Compressed(patch), 20000u);
}

TEST(PatchGeneratorContent, UnrelatedRandomDataGoesLiterally) {
  const Bytes oldData = PseudoRandomBytes(400000, 13);
  const Bytes newData = PseudoRandomBytes(500000, 14);
  const StreamShape shape = CheckStream(RoundTrip(oldData, newData), oldData.size(), newData.size());
  EXPECT_EQ(shape.deltaBlocks, 0);
  EXPECT_EQ(shape.records, 0u);
}

// New content unrelated to the old file between stretches of edited old
// content: the stream turns from delta blocks to literal data and back.
struct MixedPair {
  Bytes oldData;
  Bytes newData;
};
MixedPair LiteralBetweenDeltas(const Bytes& literal) {
  MixedPair pair;
  pair.oldData = CodeLike(600000, 20);
  Bytes edited = pair.oldData;
  for (std::size_t i = 0; i < edited.size(); i += 97) edited[i] ^= 0x21;
  pair.newData = Concat({Slice(edited, 0, 300000), literal, Slice(edited, 300000, edited.size())});
  return pair;
}
// Something like a relocation table: 24-byte records of an increasing
// offset, a type and a scattered value, mostly zero bytes.
Bytes TableLike(std::size_t length, std::uint32_t seed) {
  const Bytes noise = PseudoRandomBytes(length, seed);
  Bytes out;
  for (std::uint64_t k = 0; out.size() < length; ++k) {
    const std::uint64_t value = 0x300000 + (noise[k % length] << 8 | noise[(k * 7) % length]) + k * 16;
    for (const std::uint64_t field : {0x420000 + 8 * k, std::uint64_t{8}, value}) {
      for (int b = 0; b < 8; ++b) out.push_back(static_cast<std::uint8_t>(field >> (8 * b)));
    }
  }
  out.resize(length);
  return out;
}
MixedPair CompressibleLiteralBetweenDeltas() { return LiteralBetweenDeltas(TableLike(400000, 21)); }

TEST(PatchGeneratorLayout, CompressorBlocksStartWhereDeltaAndLiteralMeet) {
  const MixedPair pair = CompressibleLiteralBetweenDeltas();
  const Bytes patch = RoundTrip(pair.oldData, pair.newData);
  const StreamShape shape = CheckStream(patch, pair.oldData.size(), pair.newData.size());
  ASSERT_EQ(shape.paddingEnds.size(), 2u);
  // Each padding block ends a compressor block: the byte after it starts one.
  bzip2arc::patch::CompressorBlockTracker tracker;
  std::size_t fed = 0;
  for (const std::size_t end : shape.paddingEnds) {
    tracker.Add({patch.data() + fed, end - fed});
    const std::int64_t blocks = tracker.BlocksEnded();
    tracker.Add({patch.data() + end, 1});
    EXPECT_EQ(tracker.BlocksEnded(), blocks + 1);
    fed = end + 1;
  }
}

TEST(PatchGeneratorLayout, PaddingOnlyWhereItPays) {
  // Random data gains nothing from a block of its own; code-like data
  // unrelated to the old file loses by it, as the delta blocks around it
  // then no longer share one compressor block.
  for (const Bytes& literal : {PseudoRandomBytes(400000, 22), CodeLike(400000, 23)}) {
    const MixedPair pair = LiteralBetweenDeltas(literal);
    const Bytes patch = RoundTrip(pair.oldData, pair.newData);
    EXPECT_EQ(CheckStream(patch, pair.oldData.size(), pair.newData.size()).paddingBytes, 0u);
    PatchOptions plain;
    plain.plan.alignCompressorBlocks = false;
    EXPECT_EQ(patch, MakePatch(pair.oldData, pair.newData, plain));
  }
}

TEST(PatchGeneratorLayout, PaddingPaysOffAndCanBeTurnedOff) {
  const MixedPair pair = CompressibleLiteralBetweenDeltas();
  PatchOptions options;
  options.plan.alignCompressorBlocks = false;
  const Bytes plain = RoundTrip(pair.oldData, pair.newData, options);
  EXPECT_EQ(CheckStream(plain, pair.oldData.size(), pair.newData.size()).paddingBytes, 0u);
  const Bytes padded = MakePatch(pair.oldData, pair.newData);
  EXPECT_GT(padded.size(), plain.size());
  EXPECT_LT(Compressed(padded), Compressed(plain));
}

TEST(PatchGeneratorOptions, ThreadsDoNotChangeTheResult) {
  const MixedPair pair = CompressibleLiteralBetweenDeltas();
  PatchOptions one;
  one.plan.threads = 1;
  PatchOptions four;
  four.plan.threads = 4;
  EXPECT_EQ(MakePatch(pair.oldData, pair.newData, one), MakePatch(pair.oldData, pair.newData, four));
}

TEST(PatchGeneratorOptions, AnyBlockLengthKeepsTheLimits) {
  const Bytes oldData = CodeLike(150000, 15);
  Bytes newData = oldData;
  for (std::size_t i = 0; i < newData.size(); i += 37) newData[i] ^= 1;
  for (std::uint32_t blockLength : {1u, 7u, 1000u, 65536u, 1000000u}) {
    PatchOptions options;
    options.plan.blockLength = blockLength;
    RoundTrip(oldData, newData, options);
  }
}

TEST(PatchGeneratorOptions, WithoutLiteralComparison) {
  const Bytes oldData = CodeLike(100000, 16);
  const Bytes newData = Concat({PseudoRandomBytes(3000, 17), oldData, PseudoRandomBytes(3000, 18)});
  PatchOptions options;
  options.plan.compareWithLiteral = false;
  RoundTrip(oldData, newData, options);
}

TEST(PatchGeneratorOptions, DenseChangesFillTheCopyTable) {
  // A record every 20 bytes in blocks of 64 KiB.
  const Bytes oldData = PseudoRandomBytes(300000, 19);
  Bytes newData = oldData;
  for (std::size_t i = 0; i < newData.size(); i += 20) newData[i] ^= 0x80;
  PatchOptions options;
  options.plan.blockLength = 65536;
  options.plan.costs.record = 0.1;
  options.plan.compareWithLiteral = false;
  const StreamShape shape = CheckStream(RoundTrip(oldData, newData, options), oldData.size(), newData.size());
  EXPECT_GT(shape.records, 14000u);
}

}  // namespace
