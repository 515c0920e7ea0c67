#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "archive/core/Diff.h"
#include "archive/core/Error.h"
#include "archive/core/MemoryStream.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::PatchBuilder;

namespace {

Bytes operator""_b(const char* text, std::size_t length) { return Bytes(text, text + length); }

const Bytes kABCDEF = "ABCDEF"_b, kOld = testsupport::PseudoRandomBytes(65535, 1);
const auto Table = PatchBuilder::Table;

// A delta block over the old range ABCDEF, then the end block.
PatchBuilder ABCDEF(const char* rebuilt, const char* inserted, const Bytes& table, PatchBuilder before = {}) {
  return before.Delta(kABCDEF, testsupport::ToBytes(rebuilt), testsupport::ToBytes(inserted), table).End();
}

// The new file, the message of the failure ("" on success), the old bytes consumed.
std::tuple<Bytes, std::string, std::int32_t> Apply(const PatchBuilder& patch, const Bytes& old,
                                                   PatchProgress* progress = nullptr) {
  TMemoryStream patchStream(patch.Stream), oldStream(old), newStream;
  patchStream.Seek(0, soEnd);  // the applier starts every stream at offset 0
  oldStream.Seek(0, soEnd);
  const std::string error =
      testsupport::ErrorMessage<EArchiveError>([&] { ApplyPatch(patchStream, oldStream, newStream, progress); });
  return {newStream.Bytes(), error, oldStream.Position()};
}

// The counts the applier reports.
struct ReportLog final : PatchProgress {
  void PatchConsumed(std::int32_t consumed) override { Counts.push_back(consumed); }
  std::vector<std::int32_t> Counts;
};

}  // namespace

TEST(Diff, WorkedExamples) {
  const Bytes old106(kOld.begin(), kOld.begin() + 106), k2MiB = testsupport::PseudoRandomBytes(kPatchBufferSize, 4);
  Bytes table25 = Table({{3, 4, 1}, {2, 1, 6}});
  table25.insert(table25.end(), {9, 0, 1, 0, 0});  // would be a backwards record if read
  // What, patch, old file, new file, old bytes consumed.
  for (const auto& [what, patch, old, expected, oldConsumed] : {
           std::tuple{"end block alone", PatchBuilder().End(), "anything"_b, Bytes{}, 0},
      {"literal of old length 100",  // the next block's old range starts at old byte 100
       PatchBuilder().Literal(100, "hello"_b).Delta(Bytes(old106.begin() + 100, old106.end()), {}, {}, {}).End(),
       old106, "hello"_b, 106},
      {"xy", ABCDEF("DEFxyAB", "xy", Table({{3, 4, 1}, {2, 1, 6}})), kABCDEF, "DEFxyAB"_b, 6},
      {"xyz", ABCDEF("DEFxyABz", "xyz", Table({{3, 4, 1}, {2, 1, 6}, {0, 1, 9}})), kABCDEF, "DEFxyABz"_b, 6},
      {"z unused", ABCDEF("DEFxyAB", "xyz", Table({{3, 4, 1}, {2, 1, 6}})), kABCDEF, "DEFxyAB"_b, 6},
      {"table length 25", ABCDEF("DEFxyAB", "xy", table25), kABCDEF, "DEFxyAB"_b, 6},
      {"end block old length 10", PatchBuilder().Literal(3, "x"_b).End(10), kOld, "x"_b, 13},
      {"back to back, to the last byte", ABCDEF("ABCF", "", Table({{3, 1, 1}, {1, 6, 4}})), kABCDEF, "ABCF"_b, 6},
      {"literal blocks ignore a short old file", PatchBuilder().Literal(100, "1"_b).End(7), "short"_b, "1"_b, 5},
      {"lengths of 2 MiB", PatchBuilder().Literal(kPatchBufferSize, k2MiB).End(), k2MiB, k2MiB, kPatchBufferSize}}) {
    const auto [newFile, error, consumed] = Apply(patch, old);
    EXPECT_EQ(error, "") << what;
    EXPECT_TRUE(newFile == expected) << what;
    EXPECT_EQ(consumed, oldConsumed) << what;
  }
}

// Every failure keeps the blocks before the failing one in the new file.
// The messages are rows of docs/bad-input.md.
TEST(Diff, FailuresKeepTheBlocksBefore) {
  const PatchBuilder good = PatchBuilder().Literal(0, "good"_b);
  PatchBuilder copies = good;  // 33 copies of 65,535 bytes need more than 2 MiB
  copies.U32(65535).U8(1).U32(0).U32(PatchBuilder::Crc(kOld)).U32(0).U32(330);
  for (std::uint32_t i = 0; i < 33; ++i) copies.U8(0xFF).U8(0xFF).U32(1).U32(1 + i * 65535);
  const std::uint32_t tooLarge = kPatchBufferSize + 1;
  const std::string outside = "Patch copy record reaches outside the old range",
                    order = "Patch copy record destination out of order",
                    inserted = "Patch copy record needs more inserted bytes than given",
                    tooLong = "Patch block larger than 2 MiB", shortPatch = "Patch stream ends before its end block";
  for (const auto& [patch, old, message] : {
           std::tuple{PatchBuilder(good).Literal(0, "bad"_b, 1).End(), Bytes{}, std::string("CRC Error")},
      {PatchBuilder(good).Delta("ABCDEX"_b, "A"_b, {}, Table({{1, 1, 1}})).End(), kABCDEF, "CRC Error"},
      {ABCDEF("B", "", Table({{1, 1, 1}}), good), kABCDEF, "CRC Error"},
      {PatchBuilder(good).U32(0).U8(2).U32(0).U32(0).U32(0).U32(0).End(), {}, "CRC Error"},  // block type 2
      {PatchBuilder(good).U32(tooLarge), {}, tooLong},  // before the old file is read
      {PatchBuilder(good).U32(0).U8(0).U32(tooLarge), {}, tooLong},
      {PatchBuilder(good).U32(6).U8(1).U32(0).U32(PatchBuilder::Crc(kABCDEF)).U32(0).U32(0x80000000u), kABCDEF,
       tooLong},
      {copies.End(), kOld, "Rebuilt patch block larger than 2 MiB"},
      {ABCDEF("", "", Table({{2, 6, 1}}), good), kABCDEF, outside},
      {ABCDEF("", "", Table({{1, 0, 1}}), good), kABCDEF, outside},
      {ABCDEF("", "", Table({{3, 1, 1}, {1, 1, 3}}), good), kABCDEF, order},
      {ABCDEF("", "", Table({{1, 1, 0}}), good), kABCDEF, order},
      {ABCDEF("", "xy", Table({{1, 1, 2}, {1, 1, 5}}), good), kABCDEF, inserted},
      {ABCDEF("", "xy", Table({{1, 1, ~0u}}), good), kABCDEF, inserted},
      {good, {}, shortPatch},
      {PatchBuilder(good).U32(0).U8(0).U32(5).U32(0).U8('a'), {}, shortPatch},
      {ABCDEF("A", "", Table({{1, 1, 1}}), good), "ABCDE"_b, "Old file ends inside a patch block"}}) {
    const auto [newFile, error, consumed] = Apply(patch, old);
    EXPECT_EQ(error, message);
    EXPECT_EQ(newFile, "good"_b) << message;
  }
}

TEST(Diff, ProgressCountsPatchBytesAfterLiteralDataAndBeforeEachCopy) {
  const PatchBuilder literal = PatchBuilder().Literal(0, "hello"_b);
  const PatchBuilder patch = ABCDEF("DEFxyABz", "xyz", Table({{3, 4, 1}, {2, 1, 6}, {0, 1, 9}}), literal);
  ReportLog reports;
  ASSERT_EQ(std::get<1>(Apply(patch, kABCDEF, &reports)), "");
  // A delta block is read whole before its first record; the 9-byte end block is not reported.
  const auto literalSize = std::int32_t(literal.Stream.size()), patchSize = std::int32_t(patch.Stream.size());
  EXPECT_EQ(reports.Counts, (std::vector<std::int32_t>{literalSize, patchSize - literalSize - 9, 0, 0}));
}
