// Whole sets and single records: round trips, what the directory says,
// progress, clean-up, time stamps and attributes. (The disk callback: the
// end-to-end case missing_volume and arcset's disk prompt.)
#include <filesystem>

#include "archive/core/ByteOrder.h"
#include "extraction/ExtractionFixture.h"

using namespace extraction;
using testsupport::PseudoRandomBytes;
using testsupport::ToBytes;

const Bytes kOriginal = PseudoRandomBytes(30000, 5, 8);

TEST_F(ExtractionTest, RoundTrips) {
  const std::vector<WriterEntry> entries = {Entry("Setup.bin", PseudoRandomBytes(30000, 1, 16)),
                                            Entry("readme.txt", ToBytes("hello")), Entry("app.exe", kOriginal),
                                            Entry("app.exe", AppendingPatch(kOriginal, ToBytes("v2")), kKindPatch)};
  Bytes patched = kOriginal;
  patched.insert(patched.end(), {'v', '2'});
  const Files extracted = {
      {"Setup.bin", entries[0].Content}, {"readme.txt", entries[1].Content}, {"app.exe", patched}};
  // Plain, enciphered, every stream spanning three volumes or more, stored out of order.
  WriterOptions sets[4];
  sets[0].Encrypt = false;
  sets[2].VolumeSize = 4000;
  sets[2].FirstVolumeSize = 1000;
  sets[3].VolumeSize = 9000;
  sets[3].StorageOrder = {3, 1, 0, 2};
  for (const WriterOptions& options : sets) {
    SCOPED_TRACE(&options - sets);
    gLog = {};
    WriteArchiveSet(medium.Path(), BuildArchiveSet(entries, options));
    EXPECT_EQ(ExtractAllMessage(options.Encrypt ? kKey : "any key"), "");
    EXPECT_EQ(Tree(), extracted);
    EXPECT_TRUE(Clean());
    // The patch step carries the last file on from 50 %: the set never goes back.
    EXPECT_TRUE(std::is_sorted(gLog.Reports.begin(), gLog.Reports.end()));  // all with 0 bytes
    EXPECT_GT(gLog.Reports.back().first, 88);  // 75 + more than half of the last file's 25
    EXPECT_TRUE(options.FirstVolumeSize == 0 || fs::exists(medium.File("setup4.lib")));
  }
}

TEST_F(ExtractionTest, DirectoryWithoutRecordsOrMarkedPlain) {
  WriteSet({});
  EXPECT_EQ(ExtractAllMessage(), "");
  WriteSet({Entry("x", ToBytes("x"))});
  ChangeVolume0([](Bytes& volume0) { StoreI32LE(&volume0[1], -7); });  // EntryCount
  EXPECT_EQ(ExtractAllMessage(), "");
  EXPECT_TRUE(gLog.Reports.empty());
  ChangeVolume0([](Bytes& volume0) { volume0[0] = 2; StoreI32LE(&volume0[1], 1); });  // only Encrypted 1 enciphers
  EXPECT_EQ(ExtractAllMessage(""), "");  // the key is not even checked
  EXPECT_EQ(Tree().at("x"), ToBytes("x"));
}

// Each file's 0..100 % is its quarter of the whole; halves round to even.
TEST_F(ExtractionTest, OverallPercentagesOfFourFiles) {
  const Bytes twoChunks = PseudoRandomBytes(2 * kChunkSize, 8, 4);  // 50 %, 100 %, 100 % each
  WriteSet({Entry("a", twoChunks), Entry("b", twoChunks), Entry("c", twoChunks), Entry("d", twoChunks)});
  EXPECT_EQ(ExtractAllMessage(), "");
  EXPECT_EQ(gLog.Reports, (std::vector<Report>{{12, 0}, {25, 0}, {25, 0}, {38, 0}, {50, 0}, {50, 0}, {62, 0}, {75, 0},
                                                {75, 0}, {88, 0}, {100, 0}, {100, 0}}));
}

// DecompressFile reports the file's percentage and the bytes written so far.
TEST_F(ExtractionTest, ReportsOfOneRecord) {
  const Bytes odd = PseudoRandomBytes(11000, 9);
  // A 52-byte patch stream: one delta block of two copy records, 43 bytes up
  // to the first record, which alone brings new bytes (50 + 43/52 * 50).
  const Bytes patch = AppendingPatch(odd, ToBytes("v2"));
  testsupport::WriteFileBytes(destination.File("patched"), odd);
  using Reports = std::vector<Report>;
  for (const auto& [entry, size, reports] : {std::tuple{Entry("empty", {}), 0, Reports{{100, 0}}},
                                             {Entry("long", odd), 10000, {{102, kChunkSize}, {110, 11000}}},  // > Size
                                             {Entry("kind2", odd, 2), 11000, {{47, kChunkSize}, {50, 11000}}},
                                             {Entry("patched", patch, kKindPatch), 52, {{50, 52}, {91, 0}}}}) {
    gLog = {};
    WriteSet({entry});
    ChangeRecord(0, [size = size](DirectoryRecord& r) { r.Size = size; });
    DirectoryList list;
    ArchiveHeader header;
    ReadArchive(Pattern().c_str(), "", list, header);
    DecompressFile(Pattern().c_str(), destination.File(entry.Name).c_str(), list[0], header, RecordProgress, nullptr);
    EXPECT_EQ(gLog.Reports, reports) << entry.Name;
  }
  Bytes patched = odd;
  patched.insert(patched.end(), {'v', '2'});
  EXPECT_EQ(Tree(), (Files{{"empty", {}}, {"long", odd}, {"patched", patched}}));
  EXPECT_TRUE(Clean());
}

TEST_F(ExtractionTest, FilesGetTheirStampAndAttributesAndPatchFilesGo) {
  WriterEntry entry = Entry("stamped.txt", kOriginal, kKindFile, 0x01);
  entry.DateTime = (45u << 25 | 7u << 21 | 14u << 16) | (13u << 11 | 37u << 5 | 21u);  // 2025-07-14 13:37:42
  WriteSet({entry, Entry("plain.txt", kOriginal)});
  testsupport::WriteFileBytes(destination.File("patch.old"), ToBytes("old"));  // deleted after every record,
  testsupport::WriteFileBytes(destination.File("patch.tmp"), ToBytes("tmp"));  // whatever its Kind
  EXPECT_EQ(ExtractAllMessage(), "");
  EXPECT_EQ(Tree(), (Files{{"plain.txt", kOriginal}, {"stamped.txt", kOriginal}}));
  EXPECT_TRUE(IsReadOnly(destination.File("stamped.txt")));
  EXPECT_FALSE(IsReadOnly(destination.File("plain.txt")));
  EXPECT_EQ(DosDateTimeOf(fs::last_write_time(destination.File("stamped.txt"))), entry.DateTime);
}

TEST_F(ExtractionTest, FailedPatchKeepsTheOldContentsInPatchOld) {
  Bytes badPatch = AppendingPatch(kOriginal, ToBytes("tail"));
  badPatch[5] ^= 1;  // the new CRC
  WriteSet({Entry("app.exe", kOriginal), Entry("app.exe", badPatch, kKindPatch)});
  EXPECT_EQ(ExtractAllMessage(), "CRC Error");
  EXPECT_EQ(Tree(), (Files{{"app.exe", {}}, {"patch.old", kOriginal}}));
  EXPECT_TRUE(Clean());
}

TEST_F(ExtractionTest, RecordWithoutStoredDataReadsNoVolume) {
  WriteSet({Entry("zero", {}), Entry("one", ToBytes("1"))});
  for (std::size_t i : {0, 1}) ChangeRecord(i, [](DirectoryRecord& r) { r.EndOffset = r.StartOffset; r.Volume = 77; });
  EXPECT_EQ(ExtractAllMessage(), "File one is corrupted");  // not "Disk #78 needed!"
  EXPECT_EQ(Tree(), (Files{{"one", {}}, {"zero", {}}}));
}

// A path cut to the limit would name another file.
TEST_F(ExtractionTest, DestinationPathBeyondTheLimitFails) {
  const std::string name(64, 'n'), folder = destination.Path().string();
  WriteSet({Entry(name, ToBytes("x"))});
  const std::string deeper = folder + std::string(kMaxDestinationPath - 64 - folder.size(), 'f');
  const auto extract = [&] { bzip2arc::ExtractAll(Pattern().c_str(), "", deeper.c_str(), nullptr, nullptr); };
  EXPECT_EQ(testsupport::ErrorMessage<Exception>(extract), "Destination path too long for \"" + name + "\"");
  EXPECT_TRUE(Clean());
}
