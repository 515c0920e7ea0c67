// The rows of docs/bad-input.md: each damages a set of one file "x" and names
// the message that ExtractAll fails with. Nothing may be written outside the
// destination and no work file may stay behind. (The patch-stream rows are
// tested in tests/archive/DiffTest.cpp.)
#include <filesystem>

#include "archive/core/ByteOrder.h"
#include "extraction/ExtractionFixture.h"

using namespace extraction;
namespace fs = std::filesystem;

namespace {

struct Row {
  const char* Name = "";
  // The damage, in this order, to a plain set of one file "x".
  std::function<void(ExtractionTest&)> Files = nullptr;
  std::function<void(Bytes&)> Volume0 = nullptr;
  std::function<void(DirectoryRecord&)> Record = nullptr;
  std::string Message = "";  // up to a "…": how the message starts
  std::string Key = kKey;
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.Name; }

const Bytes kContent = testsupport::PseudoRandomBytes(20000, 6, 16);

std::function<void(Bytes&)> Cut(std::size_t length) { return [=](Bytes& v) { v.resize(length); }; }
void Encipher(ExtractionTest& t) { t.WriteSet({Entry("x", kContent)}, 0, true); }
void SplitWithoutVolume2(ExtractionTest& t) {
  t.WriteSet({Entry("x", kContent)}, 2000);
  fs::remove(t.medium.File("setup2.lib"));
}

const std::string kDamaged = "Damaged directory record \"x\": ", kInvalid = "Invalid file name in archive: ",
                  kKeyLength = "Blowfish: Key must be between 1 and 56 bytes long";

const Row kRows[] = {
    {.Name = "MissingFirstVolume", .Files = [](auto& t) { fs::remove(t.medium.File("setup0.lib")); },
     .Message = "Could not open archive file!"},
    {.Name = "HeaderCutShort", .Volume0 = Cut(20), .Message = "Error reading archive header!"},
    {.Name = "DirectoryCutShort", .Volume0 = Cut(kArchiveHeaderSize + 50), .Message = "Error reading archive header!"},
    {.Name = "KeyOfFiftySevenBytes", .Files = Encipher, .Message = kKeyLength, .Key = std::string(57, 'k')},
    {.Name = "EmptyKey", .Files = Encipher, .Message = kKeyLength, .Key = ""},
    {.Name = "KeyCheckedBeforeTheHeaderLength", .Files = Encipher, .Volume0 = Cut(20), .Message = kKeyLength,
     .Key = std::string(57, 'k')},
    {.Name = "WrongKeyGivesNonsenseRecords", .Files = Encipher, .Message = "Damaged directory record \"…",
     .Key = "not the key"},
    {.Name = "NameLengthAboveSixtyFour", .Record = [](auto& r) { r.NameLength = 200; },
     .Message = "Damaged directory record \"x" + std::string(63, '?') + "\": name longer than 64 characters"},
    {.Name = "NameWithSeparators", .Record = [](auto& r) { r.SetName("../x"); }, .Message = kInvalid + "\"../x\""},
    {.Name = "NameOfADevice", .Record = [](auto& r) { r.SetName("CON"); }, .Message = kInvalid + "\"CON\""},
    {.Name = "NameThatWindowsShortens", .Record = [](auto& r) { r.SetName("x."); }, .Message = kInvalid + "\"x.\""},
    {.Name = "NameOfAWorkFile", .Record = [](auto& r) { r.SetName("Patch.Old"); }, .Message = kInvalid + "\"Patch.Old\""},
    {.Name = "NegativeStartOffset", .Record = [](auto& r) { r.StartOffset = -5; },
     .Message = kDamaged + "stored data has invalid offsets"},
    {.Name = "StartAfterEnd", .Record = [](auto& r) { r.EndOffset = r.StartOffset - 1; },
     .Message = kDamaged + "stored data has invalid offsets"},
    {.Name = "VolumeFieldDisagreesWithOffset", .Record = [](auto& r) { r.Volume = 3; },
     .Message = kDamaged + "volume number does not match the data offset"},
    {.Name = "VolumeSizeZeroWithDataBeyondVolumeZero",
     .Volume0 = [](Bytes& v) { StoreI32LE(&v[5], 0); StoreI32LE(&v[9], 40); },
     .Message = "Damaged archive header: volume size must be positive for data beyond the first volume"},
    // VolumeSize 10; volume 0: the header and the directory alone.
    {.Name = "DataBeyondVolume255", .Volume0 = [](Bytes& v) { StoreI32LE(&v[5], 10); StoreI32LE(&v[9], 137); },
     .Record = [](auto& r) { r.Volume = 1; }, .Message = kDamaged + "stored data runs past volume 255"},
    // The stream starts right after the directory.
    {.Name = "DataStartsPastTheEndOfItsVolume", .Volume0 = Cut(kArchiveHeaderSize + kDirectoryRecordSize),
     .Message = "Stored data of \"x\" lies past the end of its volume"},
    {.Name = "LaterVolumeMissing", .Files = SplitWithoutVolume2, .Message = "Disk #3 needed!"},
    {.Name = "LastVolumeCutShort", .Volume0 = Cut(1000), .Message = "Disk #2 needed!"},
    {.Name = "DamagedBzip2Data", .Volume0 = [](Bytes& v) { v[v.size() - 100] ^= 0x5A; }, .Message = "error -4"},
    {.Name = "StoredDataIsNotBzip2", .Volume0 = [](Bytes& v) { v[kArchiveHeaderSize + kDirectoryRecordSize] = 'X'; },
     .Message = "error -5"},
    {.Name = "BytesAfterTheBzip2Stream",  // x's data runs on into y's
     .Files = [](auto& t) { t.WriteSet({Entry("x", kContent), Entry("y", kContent)}); },
     .Record = [](auto& r) { r.EndOffset += 4; }, .Message = "error -1"},
    {.Name = "ContentShorterThanItsSize", .Record = [](auto& r) { r.Size += 1; }, .Message = "File x is corrupted"},
    {.Name = "PatchForAFileThatIsNotThere", .Files = [](auto& t) { t.WriteSet({Entry("x", kContent, kKindPatch)}); },
     .Message = "Cannot open file \"…"},
    {.Name = "OutputFileCannotBeCreated", .Files = [](auto& t) { fs::create_directory(t.destination.Path() / "x"); },
     .Message = "Could not open output file! Maybe it is in use!"},
};

class BadInput : public ExtractionTest, public ::testing::WithParamInterface<Row> {};

}  // namespace

TEST_P(BadInput, FailsWithItsMessage) {
  const Row& row = GetParam();
  WriteSet({Entry("x", kContent)});
  if (row.Files) row.Files(*this);
  if (row.Volume0) ChangeVolume0(row.Volume0);
  if (row.Record) ChangeRecord(0, row.Record);
  const std::string message = ExtractSetMessage(row.Key, false);
  const std::size_t end = row.Message.find("…");
  EXPECT_EQ(end == std::string::npos ? message : message.substr(0, end), row.Message.substr(0, end));
  EXPECT_TRUE(Clean());
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInput, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.Name); });
