#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "archive/ByteOrder.h"
#include "archive/CRC32.h"
#include "archive/Diff.h"
#include "archive/Error.h"
#include "archive/MemoryStream.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::ToBytes;

namespace {

constexpr std::uint32_t kMiB2 = kPatchBufferSize;

std::uint32_t Crc(const Bytes& bytes) { return CRC32Checksum(bytes.data(), bytes.size()); }

struct Copy {
  std::uint16_t length;
  std::uint32_t source;
  std::uint32_t destination;
};

Bytes Table(const std::vector<Copy>& copies) {
  Bytes table(copies.size() * kCopyRecordSize);
  for (std::size_t i = 0; i < copies.size(); ++i) {
    std::uint8_t* record = table.data() + i * kCopyRecordSize;
    StoreU16LE(record, copies[i].length);
    StoreU32LE(record + 2, copies[i].source);
    StoreU32LE(record + 6, copies[i].destination);
  }
  return table;
}

// Writes patch streams field by field; the block helpers compute the
// checksums unless a test overrides them.
class PatchBuilder {
 public:
  PatchBuilder& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  PatchBuilder& U32(std::uint32_t v) {
    std::uint8_t b[4];
    StoreU32LE(b, v);
    return Raw(Bytes(b, b + 4));
  }
  PatchBuilder& Raw(const Bytes& raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }

  PatchBuilder& Literal(std::uint32_t oldLength, const Bytes& data, std::optional<std::uint32_t> crc = {}) {
    return U32(oldLength)
        .U8(kPatchLiteralBlock)
        .U32(static_cast<std::uint32_t>(data.size()))
        .U32(crc.value_or(Crc(data)))
        .Raw(data);
  }
  PatchBuilder& End(std::uint32_t oldLength = 0) { return U32(oldLength).U8(kPatchLiteralBlock).U32(0); }

  // `oldRange` and `rebuilt` only give the checksums; the applier gets the
  // old range from the old file.
  PatchBuilder& Delta(const Bytes& oldRange, const Bytes& rebuilt, const Bytes& inserted, const Bytes& table,
                      std::optional<std::uint32_t> newCrc = {}, std::optional<std::uint32_t> oldCrc = {}) {
    return U32(static_cast<std::uint32_t>(oldRange.size()))
        .U8(kPatchDeltaBlock)
        .U32(newCrc.value_or(Crc(rebuilt)))
        .U32(oldCrc.value_or(Crc(oldRange)))
        .U32(static_cast<std::uint32_t>(inserted.size()))
        .U32(static_cast<std::uint32_t>(table.size()))
        .Raw(inserted)
        .Raw(table);
  }

  const Bytes& Data() const { return bytes_; }
  std::size_t Size() const { return bytes_.size(); }

 private:
  Bytes bytes_;
};

std::vector<std::int32_t> gReports;
void Record(std::int32_t consumed) { gReports.push_back(consumed); }

struct Outcome {
  Bytes newFile;
  std::string error;  // empty on success
  bool archiveError = false;
};

Outcome Apply(const PatchBuilder& patch, const Bytes& oldFile, PatchProgressProc progress = nullptr) {
  TMemoryStream patchStream(patch.Data());
  TMemoryStream oldStream(oldFile);
  TMemoryStream newStream;
  Outcome outcome;
  try {
    ApplyPatch(patchStream, oldStream, newStream, progress);
  } catch (const EArchiveError& e) {
    outcome.error = e.Message();
    outcome.archiveError = true;
  } catch (const Exception& e) {
    outcome.error = e.Message();
  }
  outcome.newFile = newStream.Bytes();
  return outcome;
}

const Bytes kABCDEF = ToBytes("ABCDEF");

constexpr const char* kTooLarge = "Patch block larger than 2 MiB";
constexpr const char* kRebuiltTooLarge = "Rebuilt patch block larger than 2 MiB";
constexpr const char* kBackwards = "Patch copy record destination out of order";
constexpr const char* kInsertedShort = "Patch copy record needs more inserted bytes than given";
constexpr const char* kOutside = "Patch copy record reaches outside the old range";
constexpr const char* kPatchShort = "Patch stream ends before its end block";
constexpr const char* kOldShort = "Old file ends inside a patch block";

}  // namespace

// ---- Block semantics ------------------------------------------------------

TEST(DiffBlocks, EndBlockAloneGivesAnEmptyFile) {
  PatchBuilder patch;
  patch.End();
  const Outcome out = Apply(patch, ToBytes("whatever was there"));
  EXPECT_EQ(out.error, "");
  EXPECT_TRUE(out.newFile.empty());
}

TEST(DiffBlocks, LiteralBlockDropsItsOldRange) {
  Bytes old = testsupport::PseudoRandomBytes(106, 1);
  PatchBuilder patch;
  patch.Literal(100, ToBytes("hello"));
  // The next old range starts at old byte 100.
  const Bytes next(old.begin() + 100, old.begin() + 106);
  patch.Delta(next, Bytes{old[100], old[101], old[102]}, {}, Table({{3, 1, 1}})).End();
  const Outcome out = Apply(patch, old);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, (Bytes{'h', 'e', 'l', 'l', 'o', old[100], old[101], old[102]}));
}

TEST(DiffBlocks, DeltaBlockInterleavesCopiesAndInsertedBytes) {
  PatchBuilder patch;
  patch.Delta(kABCDEF, ToBytes("DEFxyAB"), ToBytes("xy"), Table({{3, 4, 1}, {2, 1, 6}})).End();
  const Outcome out = Apply(patch, kABCDEF);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, ToBytes("DEFxyAB"));
}

TEST(DiffBlocks, TrailingInsertedBytesNeedAZeroLengthCopy) {
  PatchBuilder with;
  with.Delta(kABCDEF, ToBytes("DEFxyABz"), ToBytes("xyz"), Table({{3, 4, 1}, {2, 1, 6}, {0, 1, 9}})).End();
  EXPECT_EQ(Apply(with, kABCDEF).newFile, ToBytes("DEFxyABz"));

  PatchBuilder without;
  without.Delta(kABCDEF, ToBytes("DEFxyAB"), ToBytes("xyz"), Table({{3, 4, 1}, {2, 1, 6}})).End();
  const Outcome out = Apply(without, kABCDEF);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, ToBytes("DEFxyAB"));
}

TEST(DiffBlocks, ZeroLengthCopyIgnoresItsSource) {
  PatchBuilder patch;
  patch.Delta(kABCDEF, ToBytes("qA"), ToBytes("q"), Table({{0, 0, 2}, {1, 1, 2}, {0, 0xFFFFFFFF, 3}})).End();
  const Outcome out = Apply(patch, kABCDEF);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, ToBytes("qA"));
}

TEST(DiffBlocks, TableBytesBeyondWholeRecordsAreIgnored) {
  Bytes table = Table({{3, 4, 1}, {2, 1, 6}});
  // Five more bytes that would be a backwards record if they were read.
  table.insert(table.end(), {9, 0, 1, 0, 0});
  ASSERT_EQ(table.size(), 25u);
  PatchBuilder patch;
  patch.Delta(kABCDEF, ToBytes("DEFxyAB"), ToBytes("xy"), table).End();
  const Outcome out = Apply(patch, kABCDEF);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, ToBytes("DEFxyAB"));
}

TEST(DiffBlocks, EmptyDeltaBlockAddsNothing) {
  PatchBuilder patch;
  patch.Literal(0, ToBytes("a")).Delta({}, {}, {}, {}).Literal(0, ToBytes("b")).End();
  const Outcome out = Apply(patch, {});
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, ToBytes("ab"));
}

TEST(DiffBlocks, EndBlockReadsAndDropsItsOldRange) {
  // Counts the old file's reads to see the end block's old range consumed.
  class CountingStream : public TMemoryStream {
   public:
    using TMemoryStream::TMemoryStream;
    std::int32_t Read(void* buffer, std::int32_t count) override {
      const std::int32_t n = TMemoryStream::Read(buffer, count);
      total += n;
      return n;
    }
    std::int32_t total = 0;
  };
  PatchBuilder patch;
  patch.Literal(3, ToBytes("x")).End(10);
  TMemoryStream patchStream(patch.Data());
  CountingStream oldStream(testsupport::PseudoRandomBytes(20, 2));
  TMemoryStream newStream;
  ApplyPatch(patchStream, oldStream, newStream, nullptr);
  EXPECT_EQ(oldStream.total, 13);
  EXPECT_EQ(oldStream.Position(), 13);
  EXPECT_EQ(newStream.Bytes(), ToBytes("x"));
}

TEST(DiffBlocks, LiteralBlocksTolerateAShortOldFile) {
  PatchBuilder patch;
  patch.Literal(100, ToBytes("one")).Literal(50, ToBytes("two")).End(7);
  const Outcome out = Apply(patch, ToBytes("short"));
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, ToBytes("onetwo"));
}

TEST(DiffBlocks, AllStreamsStartAtOffsetZero) {
  PatchBuilder patch;
  patch.Delta(kABCDEF, ToBytes("CD"), {}, Table({{2, 3, 1}})).End();
  TMemoryStream patchStream(patch.Data());
  TMemoryStream oldStream(kABCDEF);
  TMemoryStream newStream(ToBytes("0123456789"));
  patchStream.Seek(7, soBeginning);
  oldStream.Seek(4, soBeginning);
  newStream.Seek(0, soEnd);
  ApplyPatch(patchStream, oldStream, newStream, nullptr);
  // The new file is written from offset 0; its owner truncates it beforehand.
  EXPECT_EQ(newStream.Bytes(), ToBytes("CD23456789"));
}

TEST(DiffBlocks, WorksOnFileStreams) {
  testsupport::TempFolder folder;
  PatchBuilder patch;
  patch.Literal(2, ToBytes("new "))
      .Delta(ToBytes("CDEF"), ToBytes("FEDE"), ToBytes("E"), Table({{1, 4, 1}, {2, 2, 3}}))
      .End();
  testsupport::WriteFileBytes(folder.File("patch.tmp"), patch.Data());
  testsupport::WriteFileBytes(folder.File("patch.old"), kABCDEF);
  {
    TFileStream patchStream(folder.File("patch.tmp").c_str(), FileMode::OpenReadShared);
    TFileStream oldStream(folder.File("patch.old").c_str(), FileMode::OpenReadShared);
    TFileStream newStream(folder.File("new").c_str(), FileMode::Create);
    ApplyPatch(patchStream, oldStream, newStream, nullptr);
  }
  EXPECT_EQ(testsupport::ReadFileBytes(folder.File("new")), ToBytes("new FEDE"));
}

TEST(DiffBlocks, ShortReadsAreContinued) {
  // Streams may hand out less than asked before their end.
  class TrickleStream : public TMemoryStream {
   public:
    using TMemoryStream::TMemoryStream;
    std::int32_t Read(void* buffer, std::int32_t count) override {
      return TMemoryStream::Read(buffer, std::min(count, 3));
    }
  };
  PatchBuilder patch;
  patch.Literal(4, ToBytes("literal data"))
      .Delta(ToBytes("EF"), ToBytes("xyFE"), ToBytes("xy"), Table({{1, 2, 3}, {1, 1, 4}}))
      .End();
  TrickleStream patchStream(patch.Data());
  TrickleStream oldStream(kABCDEF);
  TMemoryStream newStream;
  ApplyPatch(patchStream, oldStream, newStream, nullptr);
  EXPECT_EQ(newStream.Bytes(), ToBytes("literal dataxyFE"));
}

// ---- Checksums ------------------------------------------------------------

TEST(DiffChecksums, LiteralDataMismatch) {
  PatchBuilder patch;
  patch.Literal(0, ToBytes("good")).Literal(0, ToBytes("bad"), Crc(ToBytes("bad")) ^ 1).End();
  const Outcome out = Apply(patch, {});
  EXPECT_EQ(out.error, "CRC Error");
  EXPECT_TRUE(out.archiveError);
  EXPECT_EQ(out.newFile, ToBytes("good"));
}

TEST(DiffChecksums, OldRangeMismatch) {
  PatchBuilder patch;
  patch.Literal(0, ToBytes("good")).Delta(ToBytes("ABCDEX"), ToBytes("A"), {}, Table({{1, 1, 1}})).End();
  const Outcome out = Apply(patch, kABCDEF);
  EXPECT_EQ(out.error, "CRC Error");
  EXPECT_EQ(out.newFile, ToBytes("good"));
}

TEST(DiffChecksums, RebuiltBlockMismatch) {
  PatchBuilder patch;
  patch.Literal(0, ToBytes("good")).Delta(kABCDEF, ToBytes("B"), {}, Table({{1, 1, 1}})).End();
  const Outcome out = Apply(patch, kABCDEF);
  EXPECT_EQ(out.error, "CRC Error");
  EXPECT_EQ(out.newFile, ToBytes("good"));
}

TEST(DiffChecksums, EmptyRangesHaveChecksumZero) {
  PatchBuilder patch;
  patch.Delta({}, {}, {}, {}, 0u, 0u).End();
  EXPECT_EQ(Apply(patch, {}).error, "");
}

TEST(DiffChecksums, UnknownBlockTypeIsACrcError) {
  for (std::uint8_t type : {2, 3, 255}) {
    PatchBuilder patch;
    patch.Literal(0, ToBytes("good")).U32(0).U8(type).U32(0).U32(0).U32(0).U32(0).End();
    const Outcome out = Apply(patch, {});
    EXPECT_EQ(out.error, "CRC Error") << int(type);
    EXPECT_EQ(out.newFile, ToBytes("good"));
  }
}

// ---- Faults the format leaves open ----------------------------------------

class DiffFaults : public ::testing::Test {
 protected:
  // A good first block, so that the test sees nothing after it is appended.
  static PatchBuilder Start() {
    PatchBuilder patch;
    patch.Literal(0, ToBytes("good"));
    return patch;
  }
  static void ExpectFailure(const PatchBuilder& patch, const Bytes& old, const char* message) {
    const Outcome out = Apply(patch, old);
    EXPECT_EQ(out.error, message);
    EXPECT_TRUE(out.archiveError);
    EXPECT_EQ(out.newFile, ToBytes("good"));
  }
};

TEST_F(DiffFaults, LengthsAboveTheBuffers) {
  // Nothing but the length follows: the check must come before any read.
  ExpectFailure(Start().U32(kMiB2 + 1), {}, kTooLarge);
  ExpectFailure(Start().U32(0xFFFFFFFF), {}, kTooLarge);
  ExpectFailure(Start().U32(0).U8(kPatchLiteralBlock).U32(kMiB2 + 1), {}, kTooLarge);
  const auto deltaHead = [] { return Start().U32(6).U8(kPatchDeltaBlock).U32(0).U32(Crc(kABCDEF)); };
  ExpectFailure(deltaHead().U32(kMiB2 + 1).U32(0), kABCDEF, kTooLarge);
  ExpectFailure(deltaHead().U32(0).U32(kMiB2 + 1), kABCDEF, kTooLarge);
  ExpectFailure(deltaHead().U32(0x80000000u).U32(0), kABCDEF, kTooLarge);
}

TEST_F(DiffFaults, LengthsOfExactlyTwoMiBAreAccepted) {
  const Bytes old = testsupport::PseudoRandomBytes(kMiB2, 3);
  const Bytes data = testsupport::PseudoRandomBytes(kMiB2, 4);
  PatchBuilder patch;
  patch.Literal(kMiB2, data).End();
  const Outcome out = Apply(patch, old);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, data);
}

TEST_F(DiffFaults, RebuiltBlockAboveTwoMiB) {
  // 32 copies of 65,535 bytes are 2,097,120; 32 more inserted bytes fill the
  // buffer exactly, one more overflows it.
  const Bytes old = testsupport::PseudoRandomBytes(65535, 5);
  std::vector<Copy> copies;
  Bytes rebuilt;
  for (std::uint32_t i = 0; i < 32; ++i) {
    copies.push_back({65535, 1, static_cast<std::uint32_t>(rebuilt.size()) + 1});
    rebuilt.insert(rebuilt.end(), old.begin(), old.end());
  }
  const Bytes inserted(33, 'i');
  copies.push_back({0, 1, static_cast<std::uint32_t>(rebuilt.size()) + 33});
  rebuilt.insert(rebuilt.end(), 32, 'i');
  ASSERT_EQ(rebuilt.size(), kMiB2);
  PatchBuilder fits;
  fits.Delta(old, rebuilt, inserted, Table(copies)).End();
  const Outcome out = Apply(fits, old);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.newFile, rebuilt);

  copies.back().destination += 1;
  ExpectFailure(Start().Delta(old, {}, inserted, Table(copies)).End(), old, kRebuiltTooLarge);
  // The same through a copy instead of a gap.
  copies.back() = {2, 1, kMiB2};
  ExpectFailure(Start().Delta(old, {}, inserted, Table(copies)).End(), old, kRebuiltTooLarge);
}

TEST_F(DiffFaults, CopyDestinationBelowTheOutputPosition) {
  // Overlapping the previous copy.
  ExpectFailure(Start().Delta(kABCDEF, {}, {}, Table({{3, 1, 1}, {1, 1, 3}})).End(), kABCDEF, kBackwards);
  // Destination 0 is below position 1.
  ExpectFailure(Start().Delta(kABCDEF, {}, {}, Table({{1, 1, 0}})).End(), kABCDEF, kBackwards);
  // Directly behind the previous copy is fine.
  PatchBuilder ok;
  ok.Delta(kABCDEF, ToBytes("ABCA"), {}, Table({{3, 1, 1}, {1, 1, 4}})).End();
  EXPECT_EQ(Apply(ok, kABCDEF).newFile, ToBytes("ABCA"));
}

TEST_F(DiffFaults, GapNeedsMoreInsertedBytesThanLeft) {
  ExpectFailure(Start().Delta(kABCDEF, {}, ToBytes("xy"), Table({{1, 1, 4}})).End(), kABCDEF, kInsertedShort);
  // Two gaps that fit one by one but not together.
  ExpectFailure(Start().Delta(kABCDEF, {}, ToBytes("xy"), Table({{1, 1, 2}, {1, 1, 5}})).End(), kABCDEF,
                kInsertedShort);
  // A far destination must not wrap around.
  ExpectFailure(Start().Delta(kABCDEF, {}, ToBytes("xy"), Table({{1, 1, 0xFFFFFFFF}})).End(), kABCDEF, kInsertedShort);
}

TEST_F(DiffFaults, CopySourceOutsideTheOldRange) {
  ExpectFailure(Start().Delta(kABCDEF, {}, {}, Table({{1, 0, 1}})).End(), kABCDEF, kOutside);
  ExpectFailure(Start().Delta(kABCDEF, {}, {}, Table({{2, 6, 1}})).End(), kABCDEF, kOutside);
  ExpectFailure(Start().Delta(kABCDEF, {}, {}, Table({{1, 7, 1}})).End(), kABCDEF, kOutside);
  ExpectFailure(Start().Delta(kABCDEF, {}, {}, Table({{7, 1, 1}})).End(), kABCDEF, kOutside);
  ExpectFailure(Start().Delta(kABCDEF, {}, {}, Table({{2, 0xFFFFFFFF, 1}})).End(), kABCDEF, kOutside);
  // The last byte of the range is still inside.
  PatchBuilder ok;
  ok.Delta(kABCDEF, ToBytes("F"), {}, Table({{1, 6, 1}})).End();
  EXPECT_EQ(Apply(ok, kABCDEF).newFile, ToBytes("F"));
}

TEST_F(DiffFaults, PatchStreamEndsInsideABlock) {
  const PatchBuilder full =
      Start().Delta(kABCDEF, ToBytes("DEFxyABz"), ToBytes("xyz"), Table({{3, 4, 1}, {2, 1, 6}, {0, 1, 9}}));
  const std::size_t good = Start().Size();
  // Every cut inside the delta block, and a missing end block.
  for (std::size_t cut = good + 1; cut <= full.Size(); ++cut) {
    PatchBuilder patch;
    patch.Raw(Bytes(full.Data().begin(), full.Data().begin() + static_cast<std::ptrdiff_t>(cut)));
    const Outcome out = Apply(patch, kABCDEF);
    EXPECT_EQ(out.error, kPatchShort) << "cut at " << cut;
    EXPECT_EQ(out.newFile, cut == full.Size() ? ToBytes("goodDEFxyABz") : ToBytes("good")) << "cut at " << cut;
  }
  // Between blocks, inside a literal block and its data, inside the end block.
  const PatchBuilder literal = Start().Literal(0, ToBytes("more")).End();
  for (std::size_t cut = good; cut < literal.Size(); ++cut) {
    PatchBuilder patch;
    patch.Raw(Bytes(literal.Data().begin(), literal.Data().begin() + static_cast<std::ptrdiff_t>(cut)));
    const Outcome out = Apply(patch, {});
    EXPECT_EQ(out.error, kPatchShort) << "cut at " << cut;
    EXPECT_EQ(out.newFile, cut < literal.Size() - 9 ? ToBytes("good") : ToBytes("goodmore")) << "cut at " << cut;
  }
}

TEST_F(DiffFaults, OldFileEndsInsideADeltaBlock) {
  const Bytes old = ToBytes("ABCDE");
  ExpectFailure(Start().Delta(kABCDEF, ToBytes("A"), {}, Table({{1, 1, 1}})).End(), old, kOldShort);
  // The literal block before it used up part of the old file.
  ExpectFailure(PatchBuilder().Literal(2, ToBytes("good")).Delta(ToBytes("CDEF"), {}, {}, {}).End(), old, kOldShort);
}

// Damaged streams fail with an error or give some output; they never crash
// or hang (worth running under a sanitizer).
TEST_F(DiffFaults, DamagedStreamsFailCleanly) {
  PatchBuilder good;
  good.Literal(3, ToBytes("head"))
      .Delta(kABCDEF, ToBytes("DEFxyABz"), ToBytes("xyz"), Table({{3, 4, 1}, {2, 1, 6}, {0, 1, 9}}))
      .End();
  const Bytes old = ToBytes("abcABCDEF");
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes = good.Data();
    for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
      bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random() % 4 == 0 ? 0xFF : random());
    PatchBuilder patch;
    patch.Raw(bytes);
    const Outcome out = Apply(patch, old);
    EXPECT_TRUE(out.error.empty() || out.archiveError) << out.error;
    EXPECT_LE(out.newFile.size(), 2u * kMiB2);
  }
}

// ---- Progress -------------------------------------------------------------

TEST(DiffProgress, ReportsAfterLiteralDataAndBeforeEachCopy) {
  PatchBuilder patch;
  patch.Literal(0, ToBytes("hello"));
  const std::size_t afterLiteral = patch.Size();
  patch.Delta(kABCDEF, ToBytes("DEFxyABz"), ToBytes("xyz"), Table({{3, 4, 1}, {2, 1, 6}, {0, 1, 9}}));
  const std::size_t afterDelta = patch.Size();
  patch.Literal(0, ToBytes("!"));
  const std::size_t afterSecondLiteral = patch.Size();
  patch.End();

  gReports.clear();
  const Outcome out = Apply(patch, kABCDEF, Record);
  ASSERT_EQ(out.error, "");
  const std::vector<std::int32_t> expected = {static_cast<std::int32_t>(afterLiteral),
                                              static_cast<std::int32_t>(afterDelta - afterLiteral), 0, 0,
                                              static_cast<std::int32_t>(afterSecondLiteral - afterDelta)};
  EXPECT_EQ(gReports, expected);
}

TEST(DiffProgress, ReportComesBeforeTheChecksumTest) {
  PatchBuilder patch;
  patch.Literal(0, ToBytes("bad"), 0).End();
  gReports.clear();
  EXPECT_EQ(Apply(patch, {}, Record).error, "CRC Error");
  EXPECT_EQ(gReports, std::vector<std::int32_t>{static_cast<std::int32_t>(patch.Size() - 9)});
}

TEST(DiffProgress, DeltaBlockWithoutRecordsPassesItsBytesOn) {
  PatchBuilder patch;
  patch.Delta({}, {}, ToBytes("unused"), {}).Literal(0, ToBytes("a")).End();
  gReports.clear();
  ASSERT_EQ(Apply(patch, {}, Record).error, "");
  // The end block is never reported: it has no data and no records.
  EXPECT_EQ(gReports, std::vector<std::int32_t>{static_cast<std::int32_t>(patch.Size() - 9)});
}

TEST(DiffProgress, NoProcedureMeansNoReports) {
  PatchBuilder patch;
  patch.Literal(0, ToBytes("x")).End();
  gReports.clear();
  EXPECT_EQ(Apply(patch, {}, nullptr).newFile, ToBytes("x"));
  EXPECT_TRUE(gReports.empty());
}

// ---- Large multi-block streams --------------------------------------------

// Builds a new file block by block from a 6 MiB old file: literal blocks and
// delta blocks with many copies, each piece close to the 2 MiB limit.
TEST(DiffLarge, MultiBlockStreamNearTheLimit) {
  const Bytes old = testsupport::PseudoRandomBytes(6 * kMiB2 / 2 + 12345, 7);
  std::mt19937 random(8);
  PatchBuilder patch;
  Bytes expected;
  std::size_t oldOffset = 0;
  int deltaBlocks = 0;
  for (int block = 0; oldOffset < old.size(); ++block) {
    const std::uint32_t oldLength =
        static_cast<std::uint32_t>(std::min<std::size_t>(kMiB2 - random() % 3, old.size() - oldOffset));
    const Bytes range(old.begin() + static_cast<std::ptrdiff_t>(oldOffset),
                      old.begin() + static_cast<std::ptrdiff_t>(oldOffset + oldLength));
    oldOffset += oldLength;
    if (block % 3 == 1) {
      const Bytes data = testsupport::PseudoRandomBytes(kMiB2 - block, static_cast<std::uint32_t>(block));
      patch.Literal(oldLength, data);
      expected.insert(expected.end(), data.begin(), data.end());
      continue;
    }
    ++deltaBlocks;
    Bytes inserted;
    Bytes rebuilt;
    std::vector<Copy> copies;
    while (true) {
      const std::uint32_t gap = random() % 40;
      const auto length = static_cast<std::uint16_t>(random() % 3000);
      if (rebuilt.size() + gap + length > kMiB2 - 100) break;
      for (std::uint32_t i = 0; i < gap; ++i) inserted.push_back(static_cast<std::uint8_t>(random()));
      rebuilt.insert(rebuilt.end(), inserted.end() - gap, inserted.end());
      const std::uint32_t source = 1 + static_cast<std::uint32_t>(random() % (oldLength - length + 1));
      copies.push_back({length, source, static_cast<std::uint32_t>(rebuilt.size()) + 1});
      rebuilt.insert(rebuilt.end(), range.begin() + source - 1, range.begin() + source - 1 + length);
    }
    patch.Delta(range, rebuilt, inserted, Table(copies));
    expected.insert(expected.end(), rebuilt.begin(), rebuilt.end());
  }
  patch.End();
  ASSERT_GE(deltaBlocks, 2);

  gReports.clear();
  const Outcome out = Apply(patch, old, Record);
  ASSERT_EQ(out.error, "");
  EXPECT_TRUE(out.newFile == expected);
  // Every byte but the end block's is reported, none twice.
  const std::int64_t total = std::accumulate(gReports.begin(), gReports.end(), std::int64_t{0});
  EXPECT_EQ(total, static_cast<std::int64_t>(patch.Size() - 9));
}
