// Whole sets: round trips, progress over several files, failures of the set.
#include <filesystem>

#include "archive/LibraryInterface.h"
#include "archive/ModuleState.h"
#include "extraction/ExtractionFixture.h"

using namespace extraction;
using bzip2arc::WriterEntry;
using bzip2arc::WriterOptions;
using testsupport::PseudoRandomBytes;

namespace {

std::vector<WriterEntry> ThreeFiles() {
  return {Entry("Setup.bin", PseudoRandomBytes(30000, 1, 16)), Entry("readme.txt", testsupport::ToBytes("hello")),
          Entry("data.dat", PseudoRandomBytes(25000, 2))};
}

}  // namespace

TEST_F(ExtractionTest, EncipheredSetExtractsEveryFile) {
  const auto entries = ThreeFiles();
  WriteSet(entries);
  EXPECT_EQ(ExtractAllMessage(), "");
  for (const auto& entry : entries) EXPECT_EQ(Extracted(entry.Name), entry.Content) << entry.Name;
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(ExtractionTest, PlainSetIgnoresTheKey) {
  WriterOptions options;
  options.Encrypt = false;
  const auto entries = ThreeFiles();
  WriteSet(entries, options);
  EXPECT_EQ(ExtractAllMessage("any other key"), "");
  EXPECT_EQ(Extracted("data.dat"), entries[2].Content);
}

TEST_F(ExtractionTest, WrongKeyIsNotDetectedWhileReadingButFailsLater) {
  WriteSet(ThreeFiles());
  EXPECT_NE(ExtractAllMessage("wrong key"), "");
  EXPECT_TRUE(DestinationNames().empty());
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(ExtractionTest, StreamsRunAcrossSeveralSmallVolumes) {
  WriterOptions options;
  options.VolumeSize = 4000;
  options.FirstVolumeSize = 1000;
  const std::vector<WriterEntry> entries = {Entry("a.bin", PseudoRandomBytes(9000, 3)),
                                            Entry("b.bin", PseudoRandomBytes(7000, 4))};
  WriteSet(entries, options);
  ASSERT_TRUE(std::filesystem::exists(medium.File("setup4.lib")));
  EXPECT_EQ(ExtractAllMessage(), "");
  EXPECT_EQ(Extracted("a.bin"), entries[0].Content);
  EXPECT_EQ(Extracted("b.bin"), entries[1].Content);
}

TEST_F(ExtractionTest, StorageOrderNeedNotFollowTheDirectory) {
  WriterOptions options;
  options.StorageOrder = {2, 0, 1};
  options.VolumeSize = 9000;
  const auto entries = ThreeFiles();
  WriteSet(entries, options);
  EXPECT_EQ(ExtractAllMessage(), "");
  for (const auto& entry : entries) EXPECT_EQ(Extracted(entry.Name), entry.Content) << entry.Name;
}

TEST_F(ExtractionTest, PatchRecordChangesAFileWrittenByAnEarlierRecord) {
  const Bytes original = PseudoRandomBytes(50000, 5, 8);
  const Bytes tail = testsupport::ToBytes("version 2");
  WriterEntry patch = Entry("app.exe", AppendingPatch(original, tail));
  patch.Kind = bzip2arc::kKindPatch;
  WriteSet({Entry("app.exe", original), patch});
  EXPECT_EQ(ExtractAllMessage(), "");
  Bytes expected = original;
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(Extracted("app.exe"), expected);
  EXPECT_EQ(DestinationNames(), std::vector<std::string>{"app.exe"});
}

TEST_F(ExtractionTest, EmptySetReadsTheDirectoryAndReportsNothing) {
  WriteSet({});
  EXPECT_EQ(ExtractAllMessage(), "");
  EXPECT_TRUE(Log().Reports.empty());
  EXPECT_TRUE(DestinationNames().empty());
}

TEST_F(ExtractionTest, OverallPercentagesRoundHalvesToEven) {
  Log() = CallbackLog{};
  bzip2arc::OverallProgress = RecordProgress;
  bzip2arc::FileCount = 4;
  std::int32_t cancel = 7;
  bzip2arc::FileIndex = 0;
  bzip2arc::ReportOverallProgress(50, 999, &cancel);
  bzip2arc::FileIndex = 1;
  bzip2arc::ReportOverallProgress(50, 999, &cancel);
  bzip2arc::FileIndex = 3;
  bzip2arc::ReportOverallProgress(100, 999, &cancel);
  ASSERT_EQ(Log().Reports.size(), 3u);
  EXPECT_EQ(Log().Reports[0].Percent, 12);
  EXPECT_EQ(Log().Reports[1].Percent, 38);
  EXPECT_EQ(Log().Reports[2].Percent, 100);
  EXPECT_EQ(Log().Reports[2].Bytes, 0);
  EXPECT_EQ(cancel, 0);  // the caller's answer goes straight through

  bzip2arc::OverallProgress = nullptr;
  cancel = 5;
  bzip2arc::ReportOverallProgress(50, 0, &cancel);
  EXPECT_EQ(cancel, 5);
}

TEST_F(ExtractionTest, OverallProgressRisesToOneHundredWithZeroBytes) {
  WriteSet(ThreeFiles());
  EXPECT_EQ(ExtractAllMessage(), "");
  ASSERT_FALSE(Log().Reports.empty());
  for (std::size_t i = 0; i < Log().Reports.size(); ++i) {
    EXPECT_EQ(Log().Reports[i].Bytes, 0);
    if (i > 0) {
      EXPECT_GE(Log().Reports[i].Percent, Log().Reports[i - 1].Percent);
    }
  }
  EXPECT_EQ(Log().Reports.back().Percent, 100);
}

TEST_F(ExtractionTest, NoProgressCallbackMeansNoReportsAndNoCancel) {
  WriteSet(ThreeFiles());
  EXPECT_EQ(ExtractAllMessage(nullptr, nullptr), "");
  EXPECT_EQ(Extracted("readme.txt"), testsupport::ToBytes("hello"));
}

TEST_F(ExtractionTest, AnyNonzeroCancelAnswerStopsTheSet) {
  for (const std::int32_t answer : {-1, 1}) {
    WriteSet(ThreeFiles());
    Log() = CallbackLog{};
    Log().CancelAt = 0;
    Log().CancelAnswer = answer;
    EXPECT_EQ(ExtractAllMessage(), "Extraction terminated by user!");
    // The file under way exists, empty; nothing after it was written.
    EXPECT_EQ(DestinationNames(), std::vector<std::string>{"Setup.bin"});
    EXPECT_TRUE(Extracted("Setup.bin").empty());
    EXPECT_TRUE(WorkLeftovers().empty());
    std::filesystem::remove(Destination("Setup.bin"));
  }
}

TEST_F(ExtractionTest, MissingFirstVolumeFailsWithoutDiskRequest) {
  EXPECT_EQ(ExtractAllMessage(nullptr, RecordProgress, RecordDisk), "Could not open archive file!");
  EXPECT_TRUE(Log().DiskRequests.empty());
}

TEST_F(ExtractionTest, KeyOutsideOneToFiftySixBytesFailsForEncipheredSets) {
  WriteSet(ThreeFiles());
  const std::string tooLong(57, 'k');
  EXPECT_EQ(ExtractAllMessage(tooLong.c_str()), "Blowfish: Key must be between 1 and 56 bytes long");
  EXPECT_EQ(ExtractAllMessage(""), "Blowfish: Key must be between 1 and 56 bytes long");
}

TEST_F(ExtractionTest, MissingLaterVolumeWithoutDiskCallbackNamesItCountedFromOne) {
  WriterOptions options;
  options.VolumeSize = 5000;
  WriteSet({Entry("big.bin", PseudoRandomBytes(20000, 6))}, options);
  std::filesystem::remove(medium.File("setup1.lib"));
  EXPECT_EQ(ExtractAllMessage(), "Disk #2 needed!");
  EXPECT_TRUE(DestinationNames().empty());
  EXPECT_TRUE(WorkLeftovers().empty());
}

namespace {
std::filesystem::path gWithheld;
std::filesystem::path gVolumePlace;
void PutVolumeBackOnThirdRequest(int) {
  if (Log().DiskRequests.size() == 2) std::filesystem::rename(gWithheld, gVolumePlace);
}
}  // namespace

TEST_F(ExtractionTest, DiskCallbackIsAskedAgainUntilTheVolumeAppears) {
  WriterOptions options;
  options.VolumeSize = 5000;
  const Bytes content = PseudoRandomBytes(20000, 7);
  WriteSet({Entry("big.bin", content)}, options);
  gVolumePlace = medium.File("setup2.lib");
  gWithheld = work.Path() / "withheld.lib";
  std::filesystem::rename(gVolumePlace, gWithheld);
  Log().OnDisk = PutVolumeBackOnThirdRequest;
  EXPECT_EQ(ExtractAllMessage(nullptr, RecordProgress, RecordDisk), "");
  EXPECT_EQ(Log().DiskRequests, (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(Extracted("big.bin"), content);
}

TEST_F(ExtractionTest, NamesThatLeaveTheDestinationFailBeforeAnythingIsWritten) {
  WriterOptions options;
  options.Encrypt = false;
  WriteSet({Entry("ok.txt", testsupport::ToBytes("1")), Entry("evil.txt", testsupport::ToBytes("2"))}, options);
  for (const char* bad : {"../evil.txt", "..", "sub/evil.txt", "a\\b"}) {
    ChangeRecord(1, [&](bzip2arc::DirectoryRecord& record) { record.SetName(bad); });
    const std::string message = ExtractAllMessage();
    EXPECT_NE(message.find("Invalid file name"), std::string::npos) << bad << ": " << message;
    EXPECT_FALSE(std::filesystem::exists(destination.Path().parent_path() / "evil.txt"));
    EXPECT_EQ(DestinationNames(), std::vector<std::string>{"ok.txt"}) << bad;
  }
}

TEST_F(ExtractionTest, DestinationPathsBeyondTheLimitFailInsteadOfBeingCut) {
  WriteSet({Entry(std::string(64, 'n'), testsupport::ToBytes("x"))});
  // One character too many for folder + separator + name; the folder is never reached.
  const std::string folder(bzip2arc::kMaxDestinationPath - 64, 'f');
  const std::string key(std::begin(bzip2arc::kDefaultDirectoryKey), std::end(bzip2arc::kDefaultDirectoryKey));
  try {
    bzip2arc::ExtractAll(Pattern().c_str(), key.c_str(), folder.c_str(), nullptr, nullptr);
    FAIL() << "expected a failure";
  } catch (const bzip2arc::Exception& error) {
    EXPECT_EQ(std::string(error.Message()), "Destination path too long for \"" + std::string(64, 'n') + "\"");
  }
  EXPECT_TRUE(WorkLeftovers().empty());
}
