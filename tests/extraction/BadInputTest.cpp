// One test per row of docs/bad-input.md: malformed sets extracted through
// ExtractAll, each failing with the message the table gives, writing nothing
// outside the destination and leaving no work file.
#include <filesystem>

#include "archive/ByteOrder.h"
#include "archive/CRC32.h"
#include "extraction/ExtractionFixture.h"

using namespace extraction;
using bzip2arc::DirectoryRecord;
using bzip2arc::WriterEntry;
using bzip2arc::WriterOptions;
using testsupport::PseudoRandomBytes;
using testsupport::ToBytes;

namespace {

// Patch streams written field by field.
class PatchBuilder {
 public:
  PatchBuilder& U8(std::uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  PatchBuilder& U16(std::uint16_t value) {
    std::uint8_t b[2];
    bzip2arc::StoreU16LE(b, value);
    bytes_.insert(bytes_.end(), b, b + 2);
    return *this;
  }
  PatchBuilder& U32(std::uint32_t value) {
    std::uint8_t b[4];
    bzip2arc::StoreU32LE(b, value);
    bytes_.insert(bytes_.end(), b, b + 4);
    return *this;
  }
  PatchBuilder& Raw(const Bytes& data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  PatchBuilder& Literal(std::uint32_t oldLength, const Bytes& data) {
    return U32(oldLength).U8(0).U32(static_cast<std::uint32_t>(data.size())).U32(Crc(data)).Raw(data);
  }
  // A delta block over `old` (its whole old range) with the given copy records
  // (length, source, destination) and inserted bytes; CRCs as given.
  PatchBuilder& Delta(const Bytes& old, std::uint32_t newCrc, const Bytes& inserted,
                      std::initializer_list<std::array<std::uint32_t, 3>> copies) {
    U32(static_cast<std::uint32_t>(old.size())).U8(1).U32(newCrc).U32(Crc(old));
    U32(static_cast<std::uint32_t>(inserted.size())).U32(static_cast<std::uint32_t>(copies.size() * 10)).Raw(inserted);
    for (const auto& copy : copies) U16(static_cast<std::uint16_t>(copy[0])).U32(copy[1]).U32(copy[2]);
    return *this;
  }
  PatchBuilder& End() { return U32(0).U8(0).U32(0); }
  Bytes Build() const { return bytes_; }
  static std::uint32_t Crc(const Bytes& data) { return bzip2arc::CRC32Checksum(data.data(), data.size()); }

 private:
  Bytes bytes_;
};

class BadInputTest : public ExtractionTest {
 protected:
  void SetUp() override {
    ExtractionTest::SetUp();
    plain.Encrypt = false;
  }

  // Extracts and checks the outcome every row shares.
  void ExpectFailure(const std::string& expected, const char* key = nullptr) {
    EXPECT_EQ(ExtractAllMessage(key), expected);
    EXPECT_TRUE(WorkLeftovers().empty());
    EXPECT_TRUE(NothingBesideTheFolders());
  }

  // A set of an old file and a patch record for it.
  void WritePatchSet(const Bytes& old, const Bytes& patch) {
    WriterEntry record = Entry("app.exe", patch);
    record.Kind = bzip2arc::kKindPatch;
    WriteSet({Entry("app.exe", old), record}, plain);
  }

  void ChangeStoredBytes(std::size_t record, const std::function<void(Bytes& volume, const DirectoryRecord&)>& change) {
    DirectoryRecord found;
    ChangeRecord(record, [&](DirectoryRecord& r) { found = r; });
    Bytes volume = testsupport::ReadFileBytes(medium.File("setup0.lib"));
    change(volume, found);
    testsupport::WriteFileBytes(medium.File("setup0.lib"), volume);
  }

  WriterOptions plain;
  const Bytes old_ = ToBytes("ABCDEFGHIJ");
};

}  // namespace

TEST_F(BadInputTest, MissingFirstVolume) { ExpectFailure("Could not open archive file!"); }

TEST_F(BadInputTest, HeaderCutShort) {
  testsupport::WriteFileBytes(medium.File("setup0.lib"), Bytes(20, 0));
  ExpectFailure("Error reading archive header!");
}

TEST_F(BadInputTest, DirectoryCutShort) {
  WriteSet({Entry("a", ToBytes("a")), Entry("b", ToBytes("b"))}, plain);
  std::filesystem::resize_file(medium.File("setup0.lib"), bzip2arc::kArchiveHeaderSize + 150);
  ExpectFailure("Error reading archive header!");
}

TEST_F(BadInputTest, KeyOfFiftySevenBytes) {
  WriteSet({Entry("a", ToBytes("a"))});
  ExpectFailure("Blowfish: Key must be between 1 and 56 bytes long", std::string(57, 'k').c_str());
}

TEST_F(BadInputTest, WrongKeyGivesNonsenseRecords) {
  WriteSet({Entry("Setup.bin", PseudoRandomBytes(5000, 1))});
  const std::string message = ExtractAllMessage("not the key");
  EXPECT_TRUE(message.rfind("Invalid file name in archive", 0) == 0 || message.rfind("Damaged directory record", 0) == 0)
      << message;
  EXPECT_TRUE(DestinationNames().empty());
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(BadInputTest, NameLengthAboveSixtyFour) {
  WriteSet({Entry("name", ToBytes("x"))}, plain);
  ChangeRecord(0, [](DirectoryRecord& r) { r.NameLength = 200; });
  // The message shows the 64 characters the record holds.
  ExpectFailure("Damaged directory record \"name" + std::string(60, '?') + "\": name longer than 64 characters");
}

TEST_F(BadInputTest, NameWithSeparators) {
  WriteSet({Entry("name", ToBytes("x"))}, plain);
  ChangeRecord(0, [](DirectoryRecord& r) { r.SetName("../../etc/passwd"); });
  ExpectFailure("Invalid file name in archive: \"../../etc/passwd\"");
}

TEST_F(BadInputTest, NameOfADevice) {
  WriteSet({Entry("name", ToBytes("x"))}, plain);
  ChangeRecord(0, [](DirectoryRecord& r) { r.SetName("CON"); });
  ExpectFailure("Invalid file name in archive: \"CON\"");
}

TEST_F(BadInputTest, NegativeStartOffset) {
  WriteSet({Entry("x", ToBytes("x"))}, plain);
  ChangeRecord(0, [](DirectoryRecord& r) { r.StartOffset = -5; });
  ExpectFailure("Damaged directory record \"x\": stored data has invalid offsets");
}

TEST_F(BadInputTest, StartAfterEnd) {
  WriteSet({Entry("x", ToBytes("x"))}, plain);
  ChangeRecord(0, [](DirectoryRecord& r) { r.EndOffset = r.StartOffset - 1; });
  ExpectFailure("Damaged directory record \"x\": stored data has invalid offsets");
}

TEST_F(BadInputTest, VolumeFieldDisagreesWithOffset) {
  WriteSet({Entry("x", ToBytes("x"))}, plain);
  ChangeRecord(0, [](DirectoryRecord& r) { r.Volume = 3; });
  ExpectFailure("Damaged directory record \"x\": volume number does not match the data offset");
}

TEST_F(BadInputTest, VolumeSizeZeroWithDataBeyondVolumeZero) {
  WriteSet({Entry("x", ToBytes("x"))}, plain);
  Bytes volume = testsupport::ReadFileBytes(medium.File("setup0.lib"));
  bzip2arc::StoreI32LE(volume.data() + 5, 0);   // VolumeSize
  bzip2arc::StoreI32LE(volume.data() + 9, 40);  // FirstVolumeSize: the data lies beyond
  testsupport::WriteFileBytes(medium.File("setup0.lib"), volume);
  ExpectFailure("Damaged archive header: volume size must be positive for data beyond the first volume");
}

TEST_F(BadInputTest, DataBeyondVolume255) {
  WriteSet({Entry("x", PseudoRandomBytes(3000, 2))}, plain);
  Bytes volume = testsupport::ReadFileBytes(medium.File("setup0.lib"));
  bzip2arc::StoreI32LE(volume.data() + 5, 10);   // VolumeSize
  bzip2arc::StoreI32LE(volume.data() + 9, 137);  // FirstVolumeSize: the directory alone
  testsupport::WriteFileBytes(medium.File("setup0.lib"), volume);
  ChangeRecord(0, [](DirectoryRecord& r) { r.Volume = 1; });
  ExpectFailure("Damaged directory record \"x\": stored data runs past volume 255");
}

TEST_F(BadInputTest, DataStartsPastTheEndOfItsVolume) {
  WriteSet({Entry("x", PseudoRandomBytes(3000, 3))}, plain);
  const auto size = static_cast<std::int32_t>(std::filesystem::file_size(medium.File("setup0.lib")));
  ChangeRecord(0, [&](DirectoryRecord& r) {
    r.StartOffset = size + 10;
    r.EndOffset = size + 20;
  });
  // The header's FirstVolumeSize covers the whole single volume, so the start
  // offset still belongs to volume 0 by the location rule.
  Bytes volume = testsupport::ReadFileBytes(medium.File("setup0.lib"));
  bzip2arc::StoreI32LE(volume.data() + 9, size + 100);
  testsupport::WriteFileBytes(medium.File("setup0.lib"), volume);
  ExpectFailure("Stored data of \"x\" lies past the end of its volume");
}

TEST_F(BadInputTest, LaterVolumeMissing) {
  WriterOptions split = plain;
  split.VolumeSize = 2000;
  WriteSet({Entry("x", PseudoRandomBytes(5000, 4))}, split);
  std::filesystem::remove(medium.File("setup2.lib"));
  ExpectFailure("Disk #3 needed!");
}

TEST_F(BadInputTest, LastVolumeCutShort) {
  WriteSet({Entry("x", PseudoRandomBytes(5000, 5))}, plain);
  const auto size = std::filesystem::file_size(medium.File("setup0.lib"));
  std::filesystem::resize_file(medium.File("setup0.lib"), size - 100);
  ExpectFailure("Disk #2 needed!");
}

TEST_F(BadInputTest, DamagedBzip2Data) {
  WriteSet({Entry("x", PseudoRandomBytes(20000, 6, 16))}, plain);
  ChangeStoredBytes(0, [](Bytes& v, const DirectoryRecord& r) { v[static_cast<std::size_t>(r.EndOffset - 100)] ^= 0x5A; });
  ExpectFailure("error -4");
}

TEST_F(BadInputTest, StoredDataIsNotBzip2) {
  WriteSet({Entry("x", PseudoRandomBytes(20000, 7, 16))}, plain);
  ChangeStoredBytes(0, [](Bytes& v, const DirectoryRecord& r) { v[static_cast<std::size_t>(r.StartOffset)] = 'X'; });
  ExpectFailure("error -5");
}

TEST_F(BadInputTest, BytesAfterTheBzip2Stream) {
  WriteSet({Entry("x", PseudoRandomBytes(5000, 8)), Entry("y", ToBytes("y"))}, plain);
  // Stretch x's stored data over the start of y's stream.
  DirectoryRecord y;
  ChangeRecord(1, [&](DirectoryRecord& r) { y = r; });
  ChangeRecord(0, [&](DirectoryRecord& r) { r.EndOffset = y.StartOffset + 4; });
  ExpectFailure("error -1");
}

TEST_F(BadInputTest, ContentShorterThanItsSize) {
  WriteSet({Entry("x", ToBytes("short"))}, plain);
  ChangeRecord(0, [](DirectoryRecord& r) { r.Size = 6; });
  ExpectFailure("File x is corrupted");
}

TEST_F(BadInputTest, PatchLiteralChecksumWrong) {
  Bytes patch = PatchBuilder().Literal(0, ToBytes("new")).End().Build();
  patch[9] ^= 1;  // the data CRC
  WritePatchSet(old_, patch);
  ExpectFailure("CRC Error");
}

TEST_F(BadInputTest, PatchBlockTypeUnknown) {
  WritePatchSet(old_, PatchBuilder().U32(0).U8(2).U32(0).End().Build());
  ExpectFailure("CRC Error");
}

TEST_F(BadInputTest, PatchLengthAboveTwoMebibytes) {
  WritePatchSet(old_, PatchBuilder().U32(0).U8(0).U32(3u << 20).U32(0).End().Build());
  ExpectFailure("Patch block larger than 2 MiB");
}

TEST_F(BadInputTest, PatchRebuiltBlockAboveTwoMebibytes) {
  // 33 copies of 65,535 bytes reach past 2 MiB; the checks come before any copying.
  PatchBuilder builder;
  builder.U32(static_cast<std::uint32_t>(old_.size())).U8(1).U32(0).U32(PatchBuilder::Crc(old_)).U32(0).U32(330);
  for (std::uint32_t i = 0; i < 33; ++i) builder.U16(65535).U32(1).U32(1 + i * 65535u);
  WritePatchSet(old_, builder.End().Build());
  const std::string message = ExtractAllMessage();
  EXPECT_TRUE(message == "Rebuilt patch block larger than 2 MiB" ||
              message == "Patch copy record reaches outside the old range")
      << message;
}

TEST_F(BadInputTest, PatchCopyOutsideTheOldRange) {
  WritePatchSet(old_, PatchBuilder().Delta(old_, 0, {}, {{{5, 8, 1}}}).End().Build());
  ExpectFailure("Patch copy record reaches outside the old range");
}

TEST_F(BadInputTest, PatchCopyDestinationsOutOfOrder) {
  WritePatchSet(old_, PatchBuilder().Delta(old_, 0, {}, {{{4, 1, 1}}, {{2, 1, 3}}}).End().Build());
  ExpectFailure("Patch copy record destination out of order");
}

TEST_F(BadInputTest, PatchGapNeedsMoreInsertedBytes) {
  WritePatchSet(old_, PatchBuilder().Delta(old_, 0, ToBytes("xy"), {{{1, 1, 6}}}).End().Build());
  ExpectFailure("Patch copy record needs more inserted bytes than given");
}

TEST_F(BadInputTest, PatchStreamEndsInsideABlock) {
  Bytes patch = PatchBuilder().Literal(0, ToBytes("new data")).Build();
  patch.resize(patch.size() - 3);
  WritePatchSet(old_, patch);
  ExpectFailure("Patch stream ends before its end block");
}

TEST_F(BadInputTest, OldFileShorterThanADeltaBlock) {
  const Bytes longer = ToBytes("ABCDEFGHIJKLMNOP");
  WritePatchSet(old_, PatchBuilder().Delta(longer, 0, {}, {{{4, 1, 1}}}).End().Build());
  ExpectFailure("Old file ends inside a patch block");
}

TEST_F(BadInputTest, PatchForAFileThatIsNotThere) {
  WriterEntry record = Entry("missing.exe", PatchBuilder().Literal(0, ToBytes("new")).End().Build());
  record.Kind = bzip2arc::kKindPatch;
  WriteSet({record}, plain);
  const std::string message = ExtractAllMessage();
  EXPECT_TRUE(message.rfind("Cannot open file", 0) == 0 && message.find("patch.old") != std::string::npos) << message;
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(BadInputTest, OutputFileCannotBeCreated) {
  WriteSet({Entry("sub", ToBytes("x"))}, plain);
  std::filesystem::create_directory(destination.Path() / "sub");  // a folder where the file should go
  ExpectFailure("Could not open output file! Maybe it is in use!");
}
