#include <gtest/gtest.h>

#include <cstring>

#include "archive/ArchiveFormat.h"

using namespace bzip2arc;

namespace {

ArchiveHeader SplitHeader() {
  ArchiveHeader header;
  header.FirstVolumeSize = 1000000;
  header.VolumeSize = 1400000;
  return header;
}

DirectoryRecord RecordAt(std::int32_t start, std::int32_t end, std::uint8_t volume) {
  DirectoryRecord record;
  record.SetName("file.bin");
  record.StartOffset = start;
  record.EndOffset = end;
  record.Volume = volume;
  return record;
}

}  // namespace

TEST(ArchiveFormat, HeaderFieldsAreLittleEndianAtFixedOffsets) {
  std::uint8_t bytes[kArchiveHeaderSize];
  for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
  ArchiveHeader header;
  DecodeArchiveHeader(bytes, header);
  EXPECT_EQ(header.Encrypted, 1);
  EXPECT_EQ(header.EntryCount, 0x05040302);
  EXPECT_EQ(header.VolumeSize, 0x09080706);
  EXPECT_EQ(header.FirstVolumeSize, 0x0D0C0B0A);
  EXPECT_EQ(header.Reserved[0], 14);
  EXPECT_EQ(header.Reserved[19], 33);

  std::uint8_t again[kArchiveHeaderSize];
  EncodeArchiveHeader(header, again);
  EXPECT_EQ(0, std::memcmp(bytes, again, sizeof bytes));
}

TEST(ArchiveFormat, RecordFieldsAreLittleEndianAtFixedOffsets) {
  std::uint8_t bytes[kDirectoryRecordSize];
  for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
  bytes[0] = 3;
  bytes[1] = 'a';
  bytes[2] = 'b';
  bytes[3] = 'c';
  bytes[94] = 0xFF;  // StartOffset with its sign bit set
  bytes[95] = 0xFF;
  bytes[96] = 0xFF;
  bytes[97] = 0xFF;
  DirectoryRecord record;
  DecodeDirectoryRecord(bytes, record);
  EXPECT_EQ(record.NameView(), "abc");
  EXPECT_EQ(record.Attributes, 0xE4E3E2E1u);
  EXPECT_EQ(record.DateTime, 0xE8E7E6E5u);
  EXPECT_EQ(record.Size, static_cast<std::int32_t>(0xECEBEAE9u));
  EXPECT_EQ(record.Reserved[0], 0xED);
  EXPECT_EQ(record.StartOffset, -1);
  EXPECT_EQ(record.EndOffset, static_cast<std::int32_t>(0x05040302u));
  EXPECT_EQ(record.Volume, 0x06);
  EXPECT_EQ(record.Kind, 0x07);

  std::uint8_t again[kDirectoryRecordSize];
  EncodeDirectoryRecord(record, again);
  EXPECT_EQ(0, std::memcmp(bytes, again, sizeof bytes));
}

TEST(ArchiveFormat, NameOfSixtyFourCharactersIsComplete) {
  DirectoryRecord record;
  const std::string name(64, 'x');
  record.SetName(name + "cut");
  EXPECT_EQ(record.NameLength, 64);
  EXPECT_EQ(record.NameView(), name);
  std::uint8_t bytes[kDirectoryRecordSize] = {};
  EncodeDirectoryRecord(record, bytes);
  EXPECT_EQ(bytes[64], 'x');
  EXPECT_EQ(bytes[65], 0);
}

TEST(ArchiveFormat, LocationRuleFollowsTheTwoVolumeSizes) {
  const ArchiveHeader header = SplitHeader();
  auto position = LocateLogicalOffset(2500000, header);
  EXPECT_EQ(position.Volume, 2);
  EXPECT_EQ(position.Offset, 100000);
  position = LocateLogicalOffset(999999, header);
  EXPECT_EQ(position.Volume, 0);
  EXPECT_EQ(position.Offset, 999999);
  position = LocateLogicalOffset(1000000, header);
  EXPECT_EQ(position.Volume, 1);
  EXPECT_EQ(position.Offset, 0);

  const auto stored = LocateStoredData(RecordAt(2500000, 2525000, 2), header);
  EXPECT_EQ(stored.Volume, 2);
  EXPECT_EQ(stored.Offset, 100000);
  EXPECT_EQ(stored.Length, 25000);
}

TEST(ArchiveFormat, RecordsThatKeepTheWriterInvariantsPass) {
  const ArchiveHeader header = SplitHeader();
  EXPECT_NO_THROW(CheckDirectoryRecord(RecordAt(2500000, 2525000, 2), header));
  EXPECT_NO_THROW(CheckDirectoryRecord(RecordAt(999999, 1000001, 0), header));
  // No stored data: the volume field is never used.
  EXPECT_NO_THROW(CheckDirectoryRecord(RecordAt(5, 5, 77), header));
  ArchiveHeader single;
  single.FirstVolumeSize = 500;
  EXPECT_NO_THROW(CheckDirectoryRecord(RecordAt(100, 500, 0), single));
}

TEST(ArchiveFormat, RecordsThatBreakTheWriterInvariantsAreRejected) {
  const ArchiveHeader header = SplitHeader();
  DirectoryRecord longName = RecordAt(10, 20, 0);
  longName.NameLength = 65;
  EXPECT_THROW(CheckDirectoryRecord(longName, header), EArchiveError);
  EXPECT_THROW(CheckDirectoryRecord(RecordAt(20, 10, 0), header), EArchiveError);
  EXPECT_THROW(CheckDirectoryRecord(RecordAt(-5, 10, 0), header), EArchiveError);
  EXPECT_THROW(CheckDirectoryRecord(RecordAt(2500000, 2525000, 1), header), EArchiveError);
  EXPECT_THROW(CheckDirectoryRecord(RecordAt(10, 20, 1), header), EArchiveError);

  ArchiveHeader noVolumeSize;
  noVolumeSize.FirstVolumeSize = 100;
  EXPECT_THROW(CheckDirectoryRecord(RecordAt(150, 160, 1), noVolumeSize), EArchiveError);
  noVolumeSize.VolumeSize = -3;
  EXPECT_THROW(CheckDirectoryRecord(RecordAt(50, 160, 0), noVolumeSize), EArchiveError);

  ArchiveHeader tiny;
  tiny.FirstVolumeSize = 10;
  tiny.VolumeSize = 10;
  // Volume 255 holds logical offsets 2550..2559; one byte more needs volume 256.
  EXPECT_NO_THROW(CheckDirectoryRecord(RecordAt(2550, 2560, 255), tiny));
  EXPECT_THROW(CheckDirectoryRecord(RecordAt(2550, 2561, 255), tiny), EArchiveError);
}

TEST(ArchiveFormat, NamesThatLeaveTheDestinationAreRejected) {
  for (const char* bad : {"", ".", "..", "a\\b", "../x", "/etc/passwd", "C:x", "CON", "nul.txt", "Lpt1", "com9.dat"}) {
    EXPECT_THROW(CheckRecordName(bad), EArchiveError) << bad;
  }
  EXPECT_THROW(CheckRecordName(std::string_view("a\0b", 3)), EArchiveError);
  for (const char* good : {"Setup.bin", "..hidden", "a.b.c", "x..", "CONFIG.SYS", "COM0", "com10", "-"}) {
    EXPECT_NO_THROW(CheckRecordName(good)) << good;
  }
}

TEST(ArchiveFormat, VolumeNamesReplaceTheFirstDirective) {
  FixedText<64> name;
  EXPECT_TRUE(FormatVolumeName("D:\\setup%d.lib", 0, name));
  EXPECT_EQ(name.View(), "D:\\setup0.lib");
  EXPECT_TRUE(FormatVolumeName("/m/100%/setup%d.lib", 255, name));
  EXPECT_EQ(name.View(), "/m/100%/setup255.lib");
  FixedText<8> tooShort;
  EXPECT_FALSE(FormatVolumeName("abcdef%d", 123, tooShort));
}
