#include <gtest/gtest.h>

#include "archive/ArchiveReader.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::TempFolder;

namespace {

Bytes HeaderBytes(std::uint8_t encrypted, std::int32_t entryCount) {
  ArchiveHeader header;
  header.Encrypted = encrypted;
  header.EntryCount = entryCount;
  header.FirstVolumeSize = 100000;
  header.VolumeSize = 100000;
  Bytes bytes(kArchiveHeaderSize);
  EncodeArchiveHeader(header, bytes.data());
  return bytes;
}

void AppendRecord(Bytes& volume, const char* name, std::int32_t size) {
  DirectoryRecord record;
  record.SetName(name);
  record.Size = size;
  std::uint8_t bytes[kDirectoryRecordSize];
  EncodeDirectoryRecord(record, bytes);
  volume.insert(volume.end(), bytes, bytes + sizeof bytes);
}

std::string ReadMessage(const std::string& pattern, const char* key, DirectoryList& list, ArchiveHeader& header) {
  try {
    ReadArchive(pattern.c_str(), key, list, header);
  } catch (const Exception& error) {
    return error.Message();
  }
  return "";
}

class ArchiveReaderTest : public ::testing::Test {
 protected:
  std::string Pattern() const { return folder.File("setup%d.lib"); }
  void WriteVolume0(const Bytes& bytes) const { testsupport::WriteFileBytes(folder.File("setup0.lib"), bytes); }

  TempFolder folder;
  DirectoryList list;
  ArchiveHeader header;
};

}  // namespace

TEST_F(ArchiveReaderTest, PlainDirectoryIsReadInOrder) {
  Bytes volume = HeaderBytes(0, 3);
  AppendRecord(volume, "one", 1);
  AppendRecord(volume, "two", 2);
  AppendRecord(volume, "three", 3);
  volume.resize(volume.size() + 50, 0xEE);  // stored data is not looked at
  WriteVolume0(volume);

  ReadArchive(Pattern().c_str(), "ignored key", list, header);
  ASSERT_EQ(list.Count(), 3u);
  EXPECT_EQ(list[0].NameView(), "one");
  EXPECT_EQ(list[2].NameView(), "three");
  EXPECT_EQ(list[2].Size, 3);
  EXPECT_EQ(header.EntryCount, 3);
}

TEST_F(ArchiveReaderTest, EmptyAndNegativeEntryCountsGiveAnEmptyList) {
  list.Append(DirectoryRecord{});
  WriteVolume0(HeaderBytes(0, 0));
  ReadArchive(Pattern().c_str(), "", list, header);
  EXPECT_EQ(list.Count(), 0u);

  WriteVolume0(HeaderBytes(0, -7));
  ReadArchive(Pattern().c_str(), "", list, header);
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(header.EntryCount, -7);
}

TEST_F(ArchiveReaderTest, AnyEncryptedValueButOneMeansPlain) {
  Bytes volume = HeaderBytes(2, 1);
  AppendRecord(volume, "plain", 5);
  WriteVolume0(volume);
  ReadArchive(Pattern().c_str(), "", list, header);  // an empty key is fine: it is never used
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list[0].NameView(), "plain");
}

TEST_F(ArchiveReaderTest, MissingVolumeZeroCannotBeOpened) {
  EXPECT_EQ(ReadMessage(Pattern(), "k", list, header), "Could not open archive file!");
}

TEST_F(ArchiveReaderTest, ShortHeaderAndShortRecordsAreReported) {
  Bytes shortHeader = HeaderBytes(0, 1);
  shortHeader.resize(20);
  WriteVolume0(shortHeader);
  EXPECT_EQ(ReadMessage(Pattern(), "k", list, header), "Error reading archive header!");

  Bytes volume = HeaderBytes(0, 2);
  AppendRecord(volume, "first", 1);
  AppendRecord(volume, "second", 2);
  volume.resize(volume.size() - 1);
  WriteVolume0(volume);
  EXPECT_EQ(ReadMessage(Pattern(), "k", list, header), "Error reading archive header!");
  // What was read before the failure stays in the list.
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list[0].NameView(), "first");
}
