#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "archive/Blowfish.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::TempFolder;

namespace {

// The loader's key as the zero-terminated text the reader receives.
const std::string kKey(reinterpret_cast<const char*>(kDefaultDirectoryKey), sizeof kDefaultDirectoryKey);

DirectoryRecord MakeRecord(const char* name, std::int32_t size, std::int32_t start) {
  DirectoryRecord record;
  record.SetName(name);
  record.Attributes = 0x20;
  record.DateTime = 0x5A2B6C3D;
  record.Size = size;
  record.StartOffset = start;
  record.EndOffset = start + size / 2;
  record.Kind = kKindFile;
  return record;
}

const std::vector<DirectoryRecord> kRecords = {
    MakeRecord("Setup.bin", 123456, 1000),
    MakeRecord("readme.txt", 777, 90000),
    MakeRecord("data.cab", 4000000, 91000),
};

Bytes PlainDirectory() {
  Bytes directory(kRecords.size() * kDirectoryRecordSize);
  for (std::size_t i = 0; i < kRecords.size(); ++i) EncodeDirectoryRecord(kRecords[i], &directory[i * kDirectoryRecordSize]);
  return directory;
}

// What an archive writer produces: the whole directory as one CBC chain.
Bytes EncipheredDirectory() {
  Bytes directory = PlainDirectory();
  BlowfishContext context;
  BlowfishInit(context, kDefaultDirectoryKey, sizeof kDefaultDirectoryKey, kDirectoryVector);
  EncipherBuffer(context, directory.data(), static_cast<std::int32_t>(directory.size()));
  return directory;
}

Bytes HeaderBytes(std::uint8_t encrypted, std::int32_t entryCount) {
  ArchiveHeader header;
  header.Encrypted = encrypted;
  header.EntryCount = entryCount;
  header.FirstVolumeSize = 5000000;
  header.VolumeSize = 1400000;
  Bytes bytes(kArchiveHeaderSize);
  EncodeArchiveHeader(header, bytes.data());
  return bytes;
}

Bytes EncipheredVolume() {
  Bytes volume = HeaderBytes(1, static_cast<std::int32_t>(kRecords.size()));
  const Bytes directory = EncipheredDirectory();
  volume.insert(volume.end(), directory.begin(), directory.end());
  volume.resize(volume.size() + 40, 0xEE);  // stored data is not looked at
  return volume;
}

void ExpectSameRecord(const DirectoryRecord& actual, const DirectoryRecord& expected) {
  Bytes a(kDirectoryRecordSize);
  Bytes b(kDirectoryRecordSize);
  EncodeDirectoryRecord(actual, a.data());
  EncodeDirectoryRecord(expected, b.data());
  EXPECT_EQ(a, b) << "record " << expected.NameView();
}

class EncipheredDirectoryTest : public ::testing::Test {
 protected:
  std::string Pattern() const { return folder.File("setup%d.lib"); }
  void WriteVolume0(const Bytes& bytes) const { testsupport::WriteFileBytes(folder.File("setup0.lib"), bytes); }
  std::string ReadMessage(const std::string& key) {
    try {
      ReadArchive(Pattern().c_str(), key.c_str(), list, header);
    } catch (const Exception& error) {
      return error.Message();
    }
    return "";
  }

  TempFolder folder;
  DirectoryList list;
  ArchiveHeader header;
};

const char* const kKeyMessage = "Blowfish: Key must be between 1 and 56 bytes long";

}  // namespace

TEST_F(EncipheredDirectoryTest, RecordsComeBackAsWritten) {
  WriteVolume0(EncipheredVolume());
  ReadArchive(Pattern().c_str(), kKey.c_str(), list, header);
  EXPECT_EQ(header.Encrypted, 1);
  ASSERT_EQ(list.Count(), kRecords.size());
  for (std::size_t i = 0; i < kRecords.size(); ++i) ExpectSameRecord(list[i], kRecords[i]);
}

TEST_F(EncipheredDirectoryTest, TheDirectoryIsOneChainAcrossRecords) {
  // A fresh chain for record 1 spoils its first block, which holds the name.
  const Bytes directory = EncipheredDirectory();
  Bytes second(directory.begin() + kDirectoryRecordSize, directory.begin() + 2 * kDirectoryRecordSize);
  BlowfishContext fresh;
  BlowfishInit(fresh, kDefaultDirectoryKey, sizeof kDefaultDirectoryKey, kDirectoryVector);
  DecipherBuffer(fresh, second.data(), kDirectoryRecordSize);
  DirectoryRecord wrong;
  DecodeDirectoryRecord(second.data(), wrong);
  EXPECT_NE(wrong.NameView(), kRecords[1].NameView());
  EXPECT_EQ(wrong.Size, kRecords[1].Size);  // later blocks decipher the same either way

  WriteVolume0(EncipheredVolume());
  ReadArchive(Pattern().c_str(), kKey.c_str(), list, header);
  ASSERT_EQ(list.Count(), kRecords.size());
  EXPECT_EQ(list[1].NameView(), "readme.txt");
  EXPECT_EQ(list[2].NameView(), "data.cab");
}

TEST_F(EncipheredDirectoryTest, OverlongKeyFailsEvenWithACompleteHeader) {
  WriteVolume0(EncipheredVolume());
  EXPECT_EQ(ReadMessage(std::string(57, 'k')), kKeyMessage);
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(ReadMessage(""), kKeyMessage);
  EXPECT_EQ(ReadMessage(std::string(56, 'k')), "");  // the longest key is fine
}

TEST_F(EncipheredDirectoryTest, KeyIsCheckedBeforeTheHeaderLength) {
  Bytes shortHeader = HeaderBytes(1, 3);
  shortHeader.resize(20);
  WriteVolume0(shortHeader);
  EXPECT_EQ(ReadMessage(std::string(57, 'k')), kKeyMessage);
  EXPECT_EQ(ReadMessage(kKey), "Error reading archive header!");
}

TEST_F(EncipheredDirectoryTest, WrongKeyReadsWithoutErrorButYieldsOtherBytes) {
  WriteVolume0(EncipheredVolume());
  std::string wrongKey = kKey;
  wrongKey[6] = static_cast<char>(wrongKey[6] ^ 0x01);
  ReadArchive(Pattern().c_str(), wrongKey.c_str(), list, header);
  ASSERT_EQ(list.Count(), kRecords.size());
  for (std::size_t i = 0; i < kRecords.size(); ++i) {
    Bytes got(kDirectoryRecordSize);
    Bytes written(kDirectoryRecordSize);
    EncodeDirectoryRecord(list[i], got.data());
    EncodeDirectoryRecord(kRecords[i], written.data());
    std::size_t differing = 0;
    for (std::size_t b = 0; b < kDirectoryRecordSize; ++b) differing += got[b] != written[b];
    EXPECT_GT(differing, kDirectoryRecordSize / 2) << "record " << i;
  }
}

TEST_F(EncipheredDirectoryTest, OtherHeaderFlagsTakeTheEncipheredBytesAsPlain) {
  Bytes volume = EncipheredVolume();
  volume[0] = 2;  // only 1 means enciphered
  WriteVolume0(volume);
  ReadArchive(Pattern().c_str(), "", list, header);
  ASSERT_EQ(list.Count(), kRecords.size());
  const Bytes directory = EncipheredDirectory();
  for (std::size_t i = 0; i < kRecords.size(); ++i) {
    DirectoryRecord raw;
    DecodeDirectoryRecord(&directory[i * kDirectoryRecordSize], raw);
    ExpectSameRecord(list[i], raw);
  }
}
