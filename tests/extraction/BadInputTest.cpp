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
  const char* name = "";
  // The damage, in this order, to a plain set of one file "x".
  std::function<void(ExtractionTest&)> files = nullptr;
  std::function<void(Bytes&)> volume0 = nullptr;
  std::function<void(DirectoryRecord&)> record = nullptr;
  std::string message = "";  // up to a "…": how the message starts
  std::string key = kKey;
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

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
    {.name = "MissingFirstVolume", .files = [](auto& t) { fs::remove(t.medium.File("setup0.lib")); },
     .message = "Could not open archive file!"},
    {.name = "HeaderCutShort", .volume0 = Cut(20), .message = "Error reading archive header!"},
    {.name = "DirectoryCutShort", .volume0 = Cut(kArchiveHeaderSize + 50), .message = "Error reading archive header!"},
    {.name = "KeyOfFiftySevenBytes", .files = Encipher, .message = kKeyLength, .key = std::string(57, 'k')},
    {.name = "EmptyKey", .files = Encipher, .message = kKeyLength, .key = ""},
    {.name = "KeyCheckedBeforeTheHeaderLength", .files = Encipher, .volume0 = Cut(20), .message = kKeyLength,
     .key = std::string(57, 'k')},
    {.name = "WrongKeyGivesNonsenseRecords", .files = Encipher, .message = "Damaged directory record \"…",
     .key = "not the key"},
    {.name = "NameLengthAboveSixtyFour", .record = [](auto& r) { r.NameLength = 200; },
     .message = "Damaged directory record \"x" + std::string(63, '?') + "\": name longer than 64 characters"},
    {.name = "NameWithSeparators", .record = [](auto& r) { r.SetName("../x"); }, .message = kInvalid + "\"../x\""},
    {.name = "NameOfADevice", .record = [](auto& r) { r.SetName("CON"); }, .message = kInvalid + "\"CON\""},
    {.name = "NameThatWindowsShortens", .record = [](auto& r) { r.SetName("x."); }, .message = kInvalid + "\"x.\""},
    {.name = "NameOfAWorkFile", .record = [](auto& r) { r.SetName("Patch.Old"); }, .message = kInvalid + "\"Patch.Old\""},
    {.name = "NegativeStartOffset", .record = [](auto& r) { r.StartOffset = -5; },
     .message = kDamaged + "stored data has invalid offsets"},
    {.name = "StartAfterEnd", .record = [](auto& r) { r.EndOffset = r.StartOffset - 1; },
     .message = kDamaged + "stored data has invalid offsets"},
    {.name = "VolumeFieldDisagreesWithOffset", .record = [](auto& r) { r.Volume = 3; },
     .message = kDamaged + "volume number does not match the data offset"},
    {.name = "VolumeSizeZeroWithDataBeyondVolumeZero",
     .volume0 = [](Bytes& v) { StoreI32LE(&v[5], 0); StoreI32LE(&v[9], 40); },
     .message = "Damaged archive header: volume size must be positive for data beyond the first volume"},
    // VolumeSize 10; volume 0: the header and the directory alone.
    {.name = "DataBeyondVolume255", .volume0 = [](Bytes& v) { StoreI32LE(&v[5], 10); StoreI32LE(&v[9], 137); },
     .record = [](auto& r) { r.Volume = 1; }, .message = kDamaged + "stored data runs past volume 255"},
    // The stream starts right after the directory.
    {.name = "DataStartsPastTheEndOfItsVolume", .volume0 = Cut(kArchiveHeaderSize + kDirectoryRecordSize),
     .message = "Stored data of \"x\" lies past the end of its volume"},
    {.name = "LaterVolumeMissing", .files = SplitWithoutVolume2, .message = "Disk #3 needed!"},
    {.name = "LastVolumeCutShort", .volume0 = Cut(1000), .message = "Disk #2 needed!"},
    {.name = "DamagedBzip2Data", .volume0 = [](Bytes& v) { v[v.size() - 100] ^= 0x5A; }, .message = "error -4"},
    {.name = "StoredDataIsNotBzip2", .volume0 = [](Bytes& v) { v[kArchiveHeaderSize + kDirectoryRecordSize] = 'X'; },
     .message = "error -5"},
    {.name = "BytesAfterTheBzip2Stream",  // x's data runs on into y's
     .files = [](auto& t) { t.WriteSet({Entry("x", kContent), Entry("y", kContent)}); },
     .record = [](auto& r) { r.EndOffset += 4; }, .message = "error -1"},
    {.name = "ContentShorterThanItsSize", .record = [](auto& r) { r.Size += 1; }, .message = "File x is corrupted"},
    {.name = "PatchForAFileThatIsNotThere", .files = [](auto& t) { t.WriteSet({Entry("x", kContent, kKindPatch)}); },
     .message = "Cannot open file \"…"},
    {.name = "OutputFileCannotBeCreated", .files = [](auto& t) { fs::create_directory(t.destination.Path() / "x"); },
     .message = "Could not open output file! Maybe it is in use!"},
};

class BadInput : public ExtractionTest, public ::testing::WithParamInterface<Row> {};

}  // namespace

TEST_P(BadInput, FailsWithItsMessage) {
  const Row& row = GetParam();
  WriteSet({Entry("x", kContent)});
  if (row.files) row.files(*this);
  if (row.volume0) ChangeVolume0(row.volume0);
  if (row.record) ChangeRecord(0, row.record);
  const std::string message = ExtractAllMessage(row.key, nullptr);
  const std::size_t end = row.message.find("…");
  EXPECT_EQ(end == std::string::npos ? message : message.substr(0, end), row.message.substr(0, end));
  EXPECT_TRUE(Clean());
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInput, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });
