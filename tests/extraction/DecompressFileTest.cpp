// One record at a time: phases, progress, clean-up and failures of
// DecompressFile.
#include <filesystem>

#include "archive/ArchiveReader.h"
#include "archive/FileExtraction.h"
#include "extraction/ExtractionFixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

using namespace extraction;
using bzip2arc::DirectoryRecord;
using bzip2arc::WriterEntry;
using bzip2arc::WriterOptions;
using testsupport::PseudoRandomBytes;

namespace {

class DecompressFileTest : public ExtractionTest {
 protected:
  // A plain set, so that tests can change its records.
  void WritePlainSet(const std::vector<WriterEntry>& entries) {
    WriterOptions options;
    options.Encrypt = false;
    WriteSet(entries, options);
  }

  DirectoryRecord Record(std::size_t index) {
    bzip2arc::DirectoryList list;
    bzip2arc::ReadArchive(Pattern().c_str(), "", list, header_);
    return list[index];
  }

  std::string Decompress(std::size_t index, const std::string& path) {
    const DirectoryRecord record = Record(index);
    try {
      bzip2arc::DecompressFile(Pattern().c_str(), path.c_str(), record, header_, RecordProgress, nullptr);
    } catch (const bzip2arc::Exception& error) {
      return error.Message();
    }
    return "";
  }
  std::string Decompress(std::size_t index) { return Decompress(index, Destination(Record(index).Name)); }

  bzip2arc::ArchiveHeader header_;
};

bool IsReadOnly(const std::string& path) {
#ifdef _WIN32
  return (::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
#else
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && (info.st_mode & 0222) == 0;
#endif
}

std::vector<std::int32_t> Percents() {
  std::vector<std::int32_t> percents;
  for (const Report& report : Log().Reports) percents.push_back(report.Percent);
  return percents;
}

}  // namespace

TEST_F(DecompressFileTest, EmptyFileMakesOneReportAndAnEmptyDestination) {
  WritePlainSet({Entry("empty", {})});
  EXPECT_EQ(Decompress(0), "");
  ASSERT_EQ(Log().Reports.size(), 1u);
  EXPECT_EQ(Log().Reports[0].Percent, 100);
  EXPECT_EQ(Log().Reports[0].Bytes, 0);
  EXPECT_TRUE(Extracted("empty").empty());
}

TEST_F(DecompressFileTest, LengthOfWholeChunksEndsWithAnEmptyRead) {
  const Bytes content = PseudoRandomBytes(2 * bzip2arc::kChunkSize, 8, 4);
  WritePlainSet({Entry("two-chunks", content)});
  EXPECT_EQ(Decompress(0), "");
  ASSERT_EQ(Log().Reports.size(), 3u);
  EXPECT_EQ(Log().Reports[0].Percent, 50);
  EXPECT_EQ(Log().Reports[0].Bytes, bzip2arc::kChunkSize);
  EXPECT_EQ(Log().Reports[1].Percent, 100);
  EXPECT_EQ(Log().Reports[2].Percent, 100);
  EXPECT_EQ(Log().Reports[2].Bytes, 2 * bzip2arc::kChunkSize);
  EXPECT_EQ(Extracted("two-chunks"), content);
}

TEST_F(DecompressFileTest, ContentLongerThanItsSizeIsAcceptedAndReportedAsComputed) {
  WritePlainSet({Entry("long", PseudoRandomBytes(11000, 9))});
  ChangeRecord(0, [](DirectoryRecord& record) { record.Size = 10000; });
  EXPECT_EQ(Decompress(0), "");
  EXPECT_EQ(Percents(), (std::vector<std::int32_t>{102, 110}));
}

TEST_F(DecompressFileTest, ContentShorterThanItsSizeIsCorrupted) {
  const Bytes content = PseudoRandomBytes(5000, 10);
  WritePlainSet({Entry("short.bin", content)});
  ChangeRecord(0, [](DirectoryRecord& record) { record.Size = 5001; });
  EXPECT_EQ(Decompress(0), "File short.bin is corrupted");
  EXPECT_EQ(Extracted("short.bin"), content);  // it keeps all it got
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(DecompressFileTest, DamagedStreamRaisesTheDecoderError) {
  WritePlainSet({Entry("damaged", PseudoRandomBytes(40000, 11, 32))});
  const DirectoryRecord record = Record(0);
  Bytes volume = testsupport::ReadFileBytes(medium.File("setup0.lib"));
  volume[static_cast<std::size_t>(record.StartOffset + (record.EndOffset - record.StartOffset) / 2)] ^= 0x55;
  testsupport::WriteFileBytes(medium.File("setup0.lib"), volume);
  EXPECT_EQ(Decompress(0), "error -4");
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(DecompressFileTest, CancelAtTheFirstReportLeavesAnEmptyFileWithItsAttributes) {
  WriterEntry entry = Entry("locked.txt", PseudoRandomBytes(30000, 12));
  entry.Attributes = 0x21;  // read-only, archive
  WritePlainSet({entry});
  Log().CancelAt = 0;
  EXPECT_EQ(Decompress(0), "Extraction terminated by user!");
  EXPECT_TRUE(Extracted("locked.txt").empty());
  EXPECT_TRUE(IsReadOnly(Destination("locked.txt")));
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(DecompressFileTest, FileGetsItsTimeStampAndReadOnlyBit) {
  WriterEntry entry = Entry("stamped.txt", PseudoRandomBytes(25000, 13));
  entry.Attributes = 0x01;
  entry.DateTime = (45u << 25 | 7u << 21 | 14u << 16) | (13u << 11 | 37u << 5 | 21u);  // 2025-07-14 13:37:42
  WritePlainSet({entry});
  EXPECT_EQ(Decompress(0), "");
  EXPECT_TRUE(IsReadOnly(Destination("stamped.txt")));
  const auto written = std::filesystem::last_write_time(Destination("stamped.txt"));
  EXPECT_EQ(bzip2arc::DosDateTimeOf(written), entry.DateTime);
}

TEST_F(DecompressFileTest, WorkFilesBesideTheDestinationAreDeletedAfterEveryRecord) {
  WritePlainSet({Entry("plain.txt", testsupport::ToBytes("plain"))});
  testsupport::WriteFileBytes(Destination("patch.old"), testsupport::ToBytes("old"));
  testsupport::WriteFileBytes(Destination("patch.tmp"), testsupport::ToBytes("tmp"));
  EXPECT_EQ(Decompress(0), "");
  EXPECT_EQ(DestinationNames(), std::vector<std::string>{"plain.txt"});
}

TEST_F(DecompressFileTest, OutputInAMissingFolderCannotBeOpened) {
  WritePlainSet({Entry("file.txt", testsupport::ToBytes("content"))});
  const std::string path = (destination.Path() / "missing" / "file.txt").string();
  EXPECT_EQ(Decompress(0, path), "Could not open output file! Maybe it is in use!");
  EXPECT_FALSE(std::filesystem::exists(destination.Path() / "missing"));
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(DecompressFileTest, PatchRecordReportsBothHalvesWithoutGoingBack) {
  const Bytes original = PseudoRandomBytes(30000, 14, 8);
  WriterEntry patch = Entry("app.exe", AppendingPatch(original, testsupport::ToBytes("!")));
  patch.Kind = bzip2arc::kKindPatch;
  WritePlainSet({Entry("app.exe", original), patch});
  EXPECT_EQ(Decompress(0), "");
  Log() = CallbackLog{};
  EXPECT_EQ(Decompress(1), "");
  const auto percents = Percents();
  ASSERT_GE(percents.size(), 2u);
  EXPECT_LE(percents.front(), 50);
  // The patch step carries on from 50; its end block is never reported.
  EXPECT_GT(percents.back(), 50);
  EXPECT_LE(percents.back(), 100);
  for (std::size_t i = 1; i < percents.size(); ++i) {
    EXPECT_GE(percents[i], percents[i - 1]);
  }
  EXPECT_EQ(DestinationNames(), std::vector<std::string>{"app.exe"});
}

TEST_F(DecompressFileTest, FailedPatchKeepsTheOldContentsInPatchOld) {
  const Bytes original = PseudoRandomBytes(20000, 15, 8);
  Bytes badPatch = AppendingPatch(original, testsupport::ToBytes("tail"));
  badPatch[5] ^= 1;  // the new CRC
  WriterEntry patch = Entry("app.exe", badPatch);
  patch.Kind = bzip2arc::kKindPatch;
  WritePlainSet({Entry("app.exe", original), patch});
  EXPECT_EQ(Decompress(0), "");
  EXPECT_EQ(Decompress(1), "CRC Error");
  EXPECT_EQ(testsupport::ReadFileBytes(Destination("patch.old")), original);
  EXPECT_TRUE(Extracted("app.exe").empty());
  EXPECT_FALSE(std::filesystem::exists(Destination("patch.tmp")));
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(DecompressFileTest, PatchWithoutAnOldFileFailsUnlessPatchOldIsThere) {
  WriterEntry patch = Entry("new.txt", LiteralPatch(testsupport::ToBytes("patched")));
  patch.Kind = bzip2arc::kKindPatch;
  WritePlainSet({patch});
  EXPECT_NE(Decompress(0), "");
  EXPECT_FALSE(std::filesystem::exists(Destination("new.txt")));

  testsupport::WriteFileBytes(Destination("patch.old"), testsupport::ToBytes("stale"));
  EXPECT_EQ(Decompress(0), "");
  EXPECT_EQ(Extracted("new.txt"), testsupport::ToBytes("patched"));
}

TEST_F(DecompressFileTest, UnknownKindIsDecompressedAndDropped) {
  WriterEntry odd = Entry("odd.bin", PseudoRandomBytes(1000, 16));
  odd.Kind = 2;
  WritePlainSet({odd});
  EXPECT_EQ(Decompress(0), "");
  EXPECT_TRUE(DestinationNames().empty());
  EXPECT_EQ(Log().Reports.back().Percent, 50);
}

TEST_F(DecompressFileTest, RecordWithoutStoredDataOpensNoVolume) {
  WritePlainSet({Entry("zero", {}), Entry("one", testsupport::ToBytes("1"))});
  const DirectoryRecord empty = Record(0);
  const DirectoryRecord nonEmpty = Record(1);
  std::filesystem::remove(medium.File("setup0.lib"));
  for (DirectoryRecord record : {empty, nonEmpty}) {
    record.EndOffset = record.StartOffset;
    const std::string path = Destination(std::string(record.NameView()));
    std::string message;
    try {
      bzip2arc::DecompressFile(Pattern().c_str(), path.c_str(), record, header_, nullptr, nullptr);
    } catch (const bzip2arc::Exception& error) {
      message = error.Message();
    }
    EXPECT_EQ(message, record.Size == 0 ? "" : "File one is corrupted");
    EXPECT_TRUE(std::filesystem::exists(path));
  }
}

TEST_F(DecompressFileTest, RecordsThatBreakTheLayoutFailWithoutLeavingWorkFiles) {
  WriterOptions options;
  options.Encrypt = false;
  options.VolumeSize = 3000;
  WriteSet({Entry("a.bin", PseudoRandomBytes(9000, 17))}, options);
  const DirectoryRecord good = Record(0);

  DirectoryRecord wrongVolume = good;
  wrongVolume.Volume = static_cast<std::uint8_t>(good.Volume + 1);
  DirectoryRecord pastItsVolume = good;
  // Offset 20 of volume 2, which is cut to 10 bytes.
  std::filesystem::resize_file(medium.File("setup2.lib"), 10);
  pastItsVolume.StartOffset = header_.FirstVolumeSize + header_.VolumeSize + 20;
  pastItsVolume.EndOffset = pastItsVolume.StartOffset + 5;
  pastItsVolume.Volume = 2;

  for (const DirectoryRecord& record : {wrongVolume, pastItsVolume}) {
    try {
      bzip2arc::DecompressFile(Pattern().c_str(), Destination("a.bin").c_str(), record, header_, nullptr, nullptr);
      ADD_FAILURE() << "expected a failure";
    } catch (const bzip2arc::EArchiveError&) {
    }
    EXPECT_TRUE(WorkLeftovers().empty());
    EXPECT_TRUE(DestinationNames().empty());
  }
}
