// The parallel decompression stream against TBZDecompressionStream on the
// same bytes: the same content, the same failure, with blocks starting at
// every bit offset, damage in any block or in the combined CRC, stray magics
// inside block data, cut and extended streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "BitWriter.h"
#include "BlockCompressor.h"
#include "BlockJoiner.h"
#include "BlockScanner.h"
#include "ParallelDecompressionStream.h"
#include "StreamFormat.h"
#include "archive/core/BZip2.h"
#include "archive/core/MemoryStream.h"
#include "support/TempFolder.h"

namespace {

using namespace bzip2arc;
using bzip2::BlockMark;
using bzip2::CompressedBlock;
using testsupport::Bytes;
using testsupport::PseudoRandomBytes;

constexpr std::int32_t kChunk = 10241;  // as extraction reads
const unsigned kThreads[] = {1, 2, 3, 8};

struct Outcome {
  Bytes Data;
  std::string Error;
  bool Alone = false;  // the parallel stream went over to the one-thread decoder
};

// Rewinds and reads pieces until one comes back short or fails, as extraction does.
Outcome Drain(TStream& stream) {
  Outcome out;
  Bytes piece(kChunk);
  out.Error = testsupport::ErrorMessage<Exception>([&] {
    stream.Seek(0, soBeginning);
    std::int32_t got = 0;
    do {
      got = stream.Read(piece.data(), kChunk);
      out.Data.insert(out.Data.end(), piece.begin(), piece.begin() + got);
    } while (got == kChunk);
  });
  return out;
}

Outcome OneThread(const Bytes& stored) {
  TMemoryStream source(stored);
  const auto stream = std::make_unique<TBZDecompressionStream>(source);
  return Drain(*stream);
}

Outcome Parallel(const Bytes& stored, unsigned threads) {
  TMemoryStream source(stored);
  TParallelBZDecompressionStream stream(source, threads);
  Outcome out = Drain(stream);
  out.Alone = stream.DecodingAlone();
  return out;
}

// The same failure and the same bytes before it. Where a block ends exactly
// at the end of a read, libbz2 may go on into the next block within that
// read, so the two may part by that one read at a failure.
void ExpectAgreement(const Bytes& stored, const std::string& what) {
  const Outcome one = OneThread(stored);
  for (const unsigned threads : kThreads) {
    const Outcome many = Parallel(stored, threads);
    EXPECT_EQ(many.Error, one.Error) << what << ", " << threads << " threads";
    const std::size_t common = std::min(many.Data.size(), one.Data.size());
    EXPECT_TRUE(std::equal(many.Data.begin(), many.Data.begin() + common, one.Data.begin())) << what;
    if (one.Error.empty()) {
      EXPECT_EQ(many.Data.size(), one.Data.size()) << what << ", " << threads << " threads";
    } else {
      EXPECT_LE(std::max(many.Data.size(), one.Data.size()) - common, std::size_t{kChunk}) << what;
    }
  }
}

CompressedBlock CompressAlone(const Bytes& content, int level = 9) {
  bzip2::BlockCompressor compressor(level);
  compressor.Add(content);
  return compressor.Finish();
}

Bytes Join(const std::vector<CompressedBlock>& blocks, int level = 9) {
  bzip2::BlockJoiner joiner(level);
  for (const CompressedBlock& block : blocks) joiner.Add(block);
  joiner.End();
  return joiner.TakeWholeBytes();
}

std::vector<BlockMark> Marks(const Bytes& stream) {
  std::vector<BlockMark> marks;
  bzip2::BlockScanner().Scan(stream, marks);
  return marks;
}

// Small blocks, added until their starts have fallen on every bit offset.
std::vector<CompressedBlock> BlocksStartingAtEveryBitOffset(std::vector<Bytes>& contents) {
  std::vector<CompressedBlock> blocks;
  std::set<std::int64_t> offsets;
  std::int64_t bit = bzip2::kHeaderBits;
  for (std::uint32_t seed = 1; offsets.size() < 8 || blocks.size() < 12; ++seed) {
    contents.push_back(PseudoRandomBytes(3000 + seed * 211 % 2000, seed, 4 + seed % 60));
    blocks.push_back(CompressAlone(contents.back()));
    offsets.insert(bit % 8);
    bit += blocks.back().EndBit - blocks.back().FirstBit;
  }
  return blocks;
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The stream decodes to the contents on every number of threads, going over
// to one thread (or not) on the way.
void ExpectContent(const Bytes& stream, const std::vector<Bytes>& contents, bool alone) {
  for (const unsigned threads : kThreads) {
    const Outcome out = Parallel(stream, threads);
    EXPECT_EQ(out.Error, "");
    EXPECT_EQ(out.Data, Concat(contents));
    EXPECT_EQ(out.Alone, alone);
  }
}

Bytes Flipped(Bytes bytes, std::int64_t bit) {
  bytes[static_cast<std::size_t>(bit / 8)] ^= static_cast<std::uint8_t>(0x80 >> bit % 8);
  return bytes;
}

// The 48 bits of `magic` read as code lengths that start at `start`: how
// many lengths they end, whether they stop inside a step (a 0 is added to
// close it, a step up), and whether the length stays within 1 to 20.
struct Walk {
  int Symbols = 0;
  bool OpenStep = false;
  bool InRange = true;
};

Walk WalkLengths(std::uint64_t magic, std::int64_t start) {
  Walk walk;
  std::int64_t length = start;
  const auto bit = [&](int i) { return magic >> (bzip2::kMagicBits - 1 - i) & 1; };
  for (int i = 0; i < bzip2::kMagicBits; ++i) {
    walk.InRange = walk.InRange && length >= 1 && length <= 20;
    if (bit(i) == 0) {
      ++walk.Symbols;
    } else if (i + 1 == bzip2::kMagicBits) {
      walk.OpenStep = true;
      ++length;
    } else {
      length += bit(++i) == 0 ? 1 : -1;
    }
  }
  walk.InRange = walk.InRange && length >= 1 && length <= 20;
  return walk;
}

// The block again, with one more coding table that no selector picks and
// whose code lengths spell `magic` in their delta coding (a 0 ends a
// symbol's length, 10 and 11 step it up and down): it decodes as before, and
// its bits hold a magic that starts no block.
CompressedBlock WithStrayMagic(const CompressedBlock& block, std::uint64_t magic) {
  const std::uint8_t* bits = block.Stream.data();
  std::int64_t at = block.FirstBit + bzip2::kMagicBits + bzip2::kCrcBits + 1 + 24;  // randomised, origin
  const auto read = [&](int count) {
    const std::uint64_t value = bzip2::ReadBits(bits, at, count);
    at += count;
    return value;
  };
  const std::uint64_t ranges = read(16);
  int inUse = 0;
  for (int i = 0; i < 16; ++i) inUse += (ranges >> (15 - i) & 1) != 0 ? std::popcount(read(16)) : 0;
  const int alphabet = inUse + 2;
  const std::int64_t groupsAt = at;
  const auto groups = static_cast<int>(read(3));
  const auto selectors = static_cast<int>(read(15));
  for (int i = 0; i < selectors; ++i) {
    while (read(1) == 1) {}
  }
  for (int t = 0; t < groups; ++t) {
    read(5);
    for (int i = 0; i < alphabet; ++i) {
      while (read(1) == 1) read(1);
    }
  }
  const std::int64_t tablesEnd = at;
  EXPECT_LT(groups, 6);

  std::int64_t start = 1;
  Walk walk;
  while (!(walk = WalkLengths(magic, start)).InRange && start < 20) ++start;
  EXPECT_TRUE(walk.InRange);
  EXPECT_LE(walk.Symbols, alphabet);

  bzip2::BitWriter out;
  out.AppendBits(bits, block.FirstBit, groupsAt - block.FirstBit);
  out.Append(static_cast<std::uint64_t>(groups + 1), 3);
  out.AppendBits(bits, groupsAt + 3, tablesEnd - groupsAt - 3);
  out.Append(static_cast<std::uint64_t>(start), 5);
  out.Append(magic, bzip2::kMagicBits);
  if (walk.OpenStep) out.Append(0, 1);
  out.Append(0, alphabet - walk.Symbols);  // the remaining lengths as they are
  out.AppendBits(bits, tablesEnd, block.EndBit - tablesEnd);
  const std::int64_t length = (block.EndBit - block.FirstBit) + 5 + bzip2::kMagicBits + (walk.OpenStep ? 1 : 0) +
                              (alphabet - walk.Symbols);
  out.PadToByte();
  return CompressedBlock{out.TakeWholeBytes(), 0, length, block.Crc};
}

}  // namespace

TEST(ParallelDecompressionStream, BlocksStartingAtEveryBitOffset) {
  std::vector<Bytes> contents;
  const std::vector<CompressedBlock> blocks = BlocksStartingAtEveryBitOffset(contents);
  const Bytes stream = Join(blocks);
  std::set<std::int64_t> offsets;
  for (const BlockMark& mark : Marks(stream)) offsets.insert(mark.Bit % 8);
  EXPECT_EQ(offsets.size(), 8u);
  ExpectContent(stream, contents, false);
}

// Runs of one byte: blocks of 5 MB (level 1) that take a few dozen bytes
// each, so that one piece of the source holds them all.
TEST(ParallelDecompressionStream, ManyBlocksInAFewBytes) {
  const std::vector<Bytes> contents = {Bytes(26'000'000, 0x2A)};
  const Bytes stream = testsupport::Bzip2Compress(contents[0], 1);
  EXPECT_GE(Marks(stream).size(), 6u);
  EXPECT_LT(stream.size(), 1000u);
  ExpectContent(stream, contents, false);
}

// A block whose CRC or data is damaged fails as libbz2 fails it, wherever it
// is; so does a wrong combined CRC.
TEST(ParallelDecompressionStream, DamageInAnyBlockOrInTheCombinedCrc) {
  std::vector<Bytes> contents;
  const Bytes stream = Join(BlocksStartingAtEveryBitOffset(contents));
  const std::vector<BlockMark> marks = Marks(stream);
  ASSERT_TRUE(marks.back().EndOfStream);
  const std::size_t last = marks.size() - 2;
  for (const std::size_t block : {std::size_t{0}, last / 2, last}) {
    const std::int64_t start = marks[block].Bit, end = marks[block + 1].Bit;
    const std::string which = "block " + std::to_string(block);
    ExpectAgreement(Flipped(stream, start + bzip2::kMagicBits + 5), which + ", its CRC");
    ExpectAgreement(Flipped(stream, (start + end) / 2), which + ", its data");
    EXPECT_EQ(OneThread(Flipped(stream, start + bzip2::kMagicBits + 5)).Error, "error -4");
  }
  const Bytes badCombined = Flipped(stream, marks.back().Bit + bzip2::kMagicBits + 3);
  ExpectAgreement(badCombined, "combined CRC");
  EXPECT_EQ(OneThread(badCombined).Error, "error -4");
}

// A magic inside block data is a block start only if the blocks on both
// sides decode and check; otherwise the stream goes over to one thread.
TEST(ParallelDecompressionStream, StrayMagicsInsideBlocks) {
  std::vector<Bytes> contents;
  for (std::uint32_t i = 0; i < 5; ++i) contents.push_back(PseudoRandomBytes(600 + 300 * i, 40 + i, 20));
  for (const std::uint64_t magic : {bzip2::kBlockMagic, bzip2::kEndOfStreamMagic}) {
    for (const std::size_t stray : {std::size_t{0}, std::size_t{2}, std::size_t{4}}) {
      std::vector<CompressedBlock> blocks;
      for (const Bytes& content : contents) blocks.push_back(CompressAlone(content));
      blocks[stray] = WithStrayMagic(blocks[stray], magic);
      const Bytes stream = Join(blocks);
      EXPECT_EQ(Marks(stream).size(), contents.size() + 2);
      EXPECT_EQ(OneThread(stream).Data, Concat(contents));
      ExpectContent(stream, contents, true);
    }
  }
}

TEST(ParallelDecompressionStream, CutExtendedEmptyAndForeignStreams) {
  std::vector<Bytes> contents;
  const Bytes stream = Join(BlocksStartingAtEveryBitOffset(contents));
  const std::vector<BlockMark> marks = Marks(stream);
  ExpectAgreement(stream, "whole");
  // Cut inside the header, at and after block starts, inside the end marker.
  for (const std::int64_t bit : {std::int64_t{16}, marks[1].Bit, marks[1].Bit + 60, marks[5].Bit - 3,
                                 marks.back().Bit + 20, marks.back().Bit + 60, std::int64_t(stream.size() * 8 - 8)}) {
    ExpectAgreement(Bytes(stream.begin(), stream.begin() + bit / 8), "cut at bit " + std::to_string(bit));
  }
  const Bytes empty = testsupport::Bzip2Compress({});
  for (const auto& [input, what] : std::vector<std::pair<Bytes, std::string>>{
           {Concat({stream, {0}}), "a byte after it"},
           {Concat({stream, stream}), "two streams"},
           {empty, "the empty stream"},
           {Concat({empty, {0x42}}), "the empty stream and a byte"},
           {{}, "no bytes"},
           {testsupport::ToBytes("BZh"), "half a header"},
           {testsupport::ToBytes("BZh0 and more"), "a bad level"},
           {testsupport::ToBytes("not bzip2 at all"), "foreign bytes"},
           {Concat({testsupport::ToBytes("BZh9"), Bytes(stream.begin() + 6, stream.end())}), "no magic after the header"},
       }) {
    ExpectAgreement(input, what);
  }
  EXPECT_EQ(OneThread(Concat({stream, {0}})).Error, "error -1");
}

// Damage anywhere: every outcome is libbz2's.
TEST(ParallelDecompressionStream, AgreesWithTheOneThreadStreamOnDamagedBytes) {
  const Bytes content = PseudoRandomBytes(450'000, 7, 12);
  const Bytes stream = testsupport::Bzip2Compress(content, 1);
  ASSERT_GE(Marks(stream).size(), 5u);
  std::uint32_t seed = 99;
  for (int round = 0; round < 16; ++round) {
    seed = seed * 1664525 + 1013904223;
    const std::int64_t bit = seed % (stream.size() * 8);
    ExpectAgreement(Flipped(stream, bit), "bit " + std::to_string(bit) + " flipped");
  }
}

TEST(ParallelDecompressionStream, RewindsSkipsAndRefusesLikeTheOneThreadStream) {
  const Bytes content = PseudoRandomBytes(300'000, 9, 16);
  TMemoryStream source(testsupport::Bzip2Compress(content, 1));
  source.Seek(0, soEnd);
  TParallelBZDecompressionStream stream(source, 2);
  Bytes piece(kChunk);
  EXPECT_EQ(stream.Read(piece.data(), kChunk), 0);  // built at the end of its source
  EXPECT_EQ(stream.Seek(0, soBeginning), 0);
  EXPECT_EQ(source.Position(), 0);
  EXPECT_EQ(stream.Seek(150'001, soBeginning), 150'001);
  stream.ReadBuffer(piece.data(), 10);
  EXPECT_EQ(Bytes(piece.begin(), piece.begin() + 10), Bytes(content.begin() + 150'001, content.begin() + 150'011));
  EXPECT_EQ(stream.Seek(0, soCurrent), 150'011);
  for (const auto& seek : {std::pair{0, soEnd}, {-1, soCurrent}, {150'011, soBeginning}, {5, 3}}) {
    EXPECT_EQ(testsupport::ErrorMessage<EBZDecompressionError>([&] { stream.Seek(seek.first, seek.second); }),
              "Invalid stream operation");
  }
  EXPECT_EQ(testsupport::ErrorMessage<EBZDecompressionError>([&] { stream.Write(piece.data(), 1); }),
            "Invalid stream operation");
  EXPECT_THROW(stream.Seek(300'001, soBeginning), EReadError);
}
