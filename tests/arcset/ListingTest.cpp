// How list shows records: dates, attributes, names as bytes, volume ranges.
#include <gtest/gtest.h>

#include "Listing.h"

namespace arcset {
namespace {

TEST(Listing, DosStampsShowTheirFields) {
  EXPECT_EQ(FormatDosDateTime(0x52CF5A6B), "2021-06-15 11:19:22");
  EXPECT_EQ(FormatDosDateTime(0x00210000), "1980-01-01 00:00:00");
  EXPECT_EQ(FormatDosDateTime(0xFFFFFFFF), "2107-15-31 31:63:62");  // shown as stored
}

TEST(Listing, AttributeLetters) {
  EXPECT_EQ(AttributeLetters(0x20), "---A");
  EXPECT_EQ(AttributeLetters(0x27), "RHSA");
  EXPECT_EQ(AttributeLetters(0x01), "R---");
}

TEST(Listing, JsonEscapesEveryByteOutsidePrintableAscii) {
  EXPECT_EQ(JsonString("plain.txt"), "\"plain.txt\"");
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("caf\xe9\x7f\n"), "\"caf\\u00e9\\u007f\\u000a\"");
  EXPECT_EQ(JsonString(std::string_view("\0", 1)), "\"\\u0000\"");
}

TEST(Listing, TerminalNamesHideControlBytesOnly) {
  EXPECT_EQ(DisplayName("a\tb\xe9"), "a\\x09b\xe9");
}

TEST(Listing, VolumeRangeFollowsTheHeaderSizes) {
  bzip2arc::ArchiveHeader header;
  header.FirstVolumeSize = 1000;
  header.VolumeSize = 500;
  bzip2arc::DirectoryRecord record;
  record.SetName("a");
  record.StartOffset = 900;
  record.EndOffset = 2001;  // last byte at 2000: volume 3
  EXPECT_EQ(LastVolumeOf(record, header), 3);
  record.EndOffset = 2000;
  EXPECT_EQ(LastVolumeOf(record, header), 2);
  record.EndOffset = 900;
  EXPECT_EQ(LastVolumeOf(record, header), 0);
  record.Volume = 5;  // damaged: shown as stored
  record.EndOffset = 2000;
  EXPECT_EQ(LastVolumeOf(record, header), 5);
}

TEST(Listing, JsonHoldsTheHeaderAndEveryRecord) {
  bzip2arc::ArchiveHeader header;
  header.Encrypted = 1;
  header.EntryCount = 1;
  header.FirstVolumeSize = header.VolumeSize = 500;
  bzip2arc::DirectoryList list;
  bzip2arc::DirectoryRecord record;
  record.SetName("x");
  record.Size = 7;
  record.StartOffset = 137;
  record.EndOffset = 180;
  record.Kind = bzip2arc::kKindPatch;
  list.Append(record);
  const std::string json = FormatJson(header, list);
  EXPECT_NE(json.find("\"Encrypted\": 1,\n  \"EntryCount\": 1,"), std::string::npos) << json;
  EXPECT_NE(json.find("{\"Name\": \"x\", \"Size\": 7, \"StoredSize\": 43, \"Kind\": 1,"), std::string::npos) << json;
  EXPECT_NE(FormatJson(header, bzip2arc::DirectoryList()).find("\"Records\": []\n}"), std::string::npos);
}

}  // namespace
}  // namespace arcset
