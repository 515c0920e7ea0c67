// The patch writer: the exact bytes of each block kind, and the splits it
// makes so that no field exceeds what the applier takes.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "PatchWriter.h"
#include "archive/ByteOrder.h"
#include "archive/CRC32.h"
#include "support/TempFolder.h"

namespace {

using bzip2arc::LoadU16LE;
using bzip2arc::LoadU32LE;
using bzip2arc::patch::Copy;
using bzip2arc::patch::PatchWriter;
using testsupport::Bytes;

std::uint32_t Crc(const Bytes& bytes, std::size_t begin, std::size_t length) {
  return bzip2arc::CRC32Checksum(bytes.data() + begin, length);
}

TEST(PatchWriterBlocks, DeltaBlockLayout) {
  const Bytes oldData = testsupport::ToBytes("ABCDEF");
  const Bytes newData = testsupport::ToBytes("DEFxyABz");
  PatchWriter writer(oldData, newData);
  const Copy copies[] = {{0, 3, 3}, {5, 0, 2}};
  writer.Delta(6, 8, copies);
  const Bytes patch = writer.Finish();
  ASSERT_EQ(patch.size(), 21u + 3 + 30 + 9);
  EXPECT_EQ(LoadU32LE(&patch[0]), 6u);
  EXPECT_EQ(patch[4], 1);
  EXPECT_EQ(LoadU32LE(&patch[5]), Crc(newData, 0, 8));
  EXPECT_EQ(LoadU32LE(&patch[9]), Crc(oldData, 0, 6));
  EXPECT_EQ(LoadU32LE(&patch[13]), 3u);
  EXPECT_EQ(LoadU32LE(&patch[17]), 30u);
  EXPECT_EQ(Bytes(patch.begin() + 21, patch.begin() + 24), testsupport::ToBytes("xyz"));
  const std::uint8_t* table = &patch[24];
  // (3, 4, 1), (2, 1, 6), then the closing empty record at 9 for the z.
  EXPECT_EQ(LoadU16LE(table), 3u);
  EXPECT_EQ(LoadU32LE(table + 2), 4u);
  EXPECT_EQ(LoadU32LE(table + 6), 1u);
  EXPECT_EQ(LoadU16LE(table + 10), 2u);
  EXPECT_EQ(LoadU32LE(table + 12), 1u);
  EXPECT_EQ(LoadU32LE(table + 16), 6u);
  EXPECT_EQ(LoadU16LE(table + 20), 0u);
  EXPECT_EQ(LoadU32LE(table + 26), 9u);
  EXPECT_EQ(Bytes(patch.end() - 9, patch.end()), Bytes(9, 0));
}

TEST(PatchWriterBlocks, LiteralBlockLayout) {
  const Bytes oldData(100, 7);
  const Bytes newData = testsupport::ToBytes("hello");
  PatchWriter writer(oldData, newData);
  writer.Literal(100, 5);
  const Bytes patch = writer.Finish();
  ASSERT_EQ(patch.size(), 13u + 5 + 9);
  EXPECT_EQ(LoadU32LE(&patch[0]), 100u);
  EXPECT_EQ(patch[4], 0);
  EXPECT_EQ(LoadU32LE(&patch[5]), 5u);
  EXPECT_EQ(LoadU32LE(&patch[9]), Crc(newData, 0, 5));
}

TEST(PatchWriterLimits, LongCopiesSplitIntoRecordsOf65535) {
  const Bytes data = testsupport::PseudoRandomBytes(200000, 1);
  PatchWriter writer(data, data);
  const Copy copy{0, 0, 200000};
  writer.Delta(200000, 200000, {&copy, 1});
  const Bytes patch = writer.Finish();
  ASSERT_EQ(LoadU32LE(&patch[17]), 40u);
  const std::uint8_t* table = &patch[21];
  const std::uint32_t lengths[] = {65535, 65535, 65535, 3395};
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(LoadU16LE(table + 10 * r), lengths[r]);
    EXPECT_EQ(LoadU32LE(table + 10 * r + 2), 1u + 65535u * r);
    EXPECT_EQ(LoadU32LE(table + 10 * r + 6), 1u + 65535u * r);
  }
}

TEST(PatchWriterLimits, SkippingLongOldRangesTakesBlocksOf2MiB) {
  const Bytes oldData(5 * 1024 * 1024, 3);
  const Bytes newData(10, 3);
  PatchWriter writer(oldData, newData);
  writer.SkipOld(5 * 1024 * 1024 - 10);
  const Copy copy{0, 5 * 1024 * 1024 - 10, 10};
  writer.Delta(10, 10, {&copy, 1});
  const Bytes patch = writer.Finish();
  // Two empty delta blocks of 2 MiB, one of the rest, then the copy.
  std::size_t p = 0;
  for (const std::uint32_t skip : {2097152u, 2097152u, 1048566u}) {
    EXPECT_EQ(LoadU32LE(&patch[p]), skip);
    EXPECT_EQ(patch[p + 4], 1);
    EXPECT_EQ(LoadU32LE(&patch[p + 5]), 0u);  // nothing rebuilt
    EXPECT_EQ(LoadU32LE(&patch[p + 13]), 0u);
    EXPECT_EQ(LoadU32LE(&patch[p + 17]), 0u);
    p += 21;
  }
  EXPECT_EQ(LoadU32LE(&patch[p]), 10u);
}

TEST(PatchWriterLimits, RejectsBlocksBeyondTheBuffers) {
  const Bytes data(3 * 1024 * 1024, 0);
  PatchWriter writer(data, data);
  EXPECT_THROW(writer.Literal(0, 2097153), std::logic_error);
  EXPECT_THROW(writer.Delta(2097153, 10, {}), std::logic_error);
  EXPECT_THROW(writer.Padding(2097153), std::logic_error);
}

TEST(PatchWriterPadding, FillerIsIgnoredInsertedBytes) {
  const Bytes none;
  PatchWriter writer(none, none);
  writer.Padding(6);
  const Bytes patch = writer.Finish();
  ASSERT_EQ(patch.size(), 21u + 6 + 9);
  const auto header = PatchWriter::PaddingHeader(6);
  EXPECT_EQ(Bytes(patch.begin(), patch.begin() + 21), Bytes(header.begin(), header.end()));
  EXPECT_EQ(LoadU32LE(&patch[0]), 0u);  // no old bytes
  EXPECT_EQ(patch[4], 1);
  EXPECT_EQ(LoadU32LE(&patch[13]), 6u);  // inserted, but no record uses them
  EXPECT_EQ(LoadU32LE(&patch[17]), 0u);
  EXPECT_EQ(Bytes(patch.begin() + 21, patch.begin() + 27), (Bytes{0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA}));
}

TEST(PatchWriterParts, AppendGoesOnWherePartsStarted) {
  const Bytes data = testsupport::PseudoRandomBytes(1000, 2);
  PatchWriter writer(data, data);
  writer.Literal(100, 100);
  PatchWriter part(data, data, 100, 100);
  const Copy copy{100, 100, 900};
  part.Delta(900, 900, {&copy, 1});
  writer.Append(part);
  EXPECT_EQ(writer.OldPosition(), 1000u);
  EXPECT_EQ(writer.NewPosition(), 1000u);
  PatchWriter misplaced(data, data, 50, 50);
  EXPECT_THROW(writer.Append(misplaced), std::logic_error);
}

}  // namespace
