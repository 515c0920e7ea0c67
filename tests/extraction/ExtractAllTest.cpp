// Whole sets and single records: round trips, what the directory says,
// progress, missing volumes, clean-up, time stamps and attributes. (The disk
// prompts themselves: the end-to-end case missing_volume and arcset's.)
#include <filesystem>

#include "archive/core/ByteOrder.h"
#include "archive/core/RecordDecoding.h"
#include "extraction/ExtractionFixture.h"

using namespace extraction;
using testsupport::PseudoRandomBytes;
using testsupport::ToBytes;

const Bytes kOriginal = PseudoRandomBytes(30000, 5, 8);

namespace {

// The exported callback types carry no context: the disk requests they hear.
std::vector<int> gDiskRequests;
std::function<void()> gOnThirdRequest;
void BZ2ARC_CALL RecordDiskRequest(std::uint8_t volume) {
  gDiskRequests.push_back(volume);
  if (gDiskRequests.size() == 3) gOnThirdRequest();
}

// Hooks that bring the volume back at the third request, or give up at the first.
class DiskHooks final : public ExtractionHooks {
 public:
  DiskHooks(std::function<void()> bringBack, bool giveUp) : bringBack_(std::move(bringBack)), giveUp_(giveUp) {}
  bool DiskMissing(std::uint8_t volume) override {
    Requests.push_back(volume);
    if (Requests.size() == 3) bringBack_();
    return !giveUp_;
  }
  std::vector<int> Requests;

 private:
  std::function<void()> bringBack_;
  bool giveUp_;
};

}  // namespace

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
    log = {};
    WriteArchiveSet(medium.Path(), BuildArchiveSet(entries, options));
    EXPECT_EQ(ExtractSetMessage(options.Encrypt ? kKey : "any key"), "");
    EXPECT_EQ(Tree(), extracted);
    EXPECT_TRUE(Clean());
    destination.Clear();
    const std::string folder = destination.Path().string();
    bzip2arc::ExtractAll(Pattern().c_str(), kKey.c_str(), folder.c_str(), nullptr, nullptr);
    EXPECT_EQ(Tree(), extracted) << "through the exported path";
    // The patch step carries the last file on from 50 %: the set never goes back.
    EXPECT_TRUE(std::is_sorted(log.Reports.begin(), log.Reports.end()));  // all with 0 bytes
    EXPECT_GT(log.Reports.back().first, 88);  // 75 + more than half of the last file's 25
    EXPECT_TRUE(options.FirstVolumeSize == 0 || fs::exists(medium.File("setup4.lib")));
  }
}

TEST_F(ExtractionTest, DirectoryWithoutRecordsOrMarkedPlain) {
  WriteSet({});
  EXPECT_EQ(ExtractSetMessage(), "");
  WriteSet({Entry("x", ToBytes("x"))});
  ChangeVolume0([](Bytes& volume0) { StoreI32LE(&volume0[1], -7); });  // EntryCount
  EXPECT_EQ(ExtractSetMessage(), "");
  EXPECT_TRUE(log.Reports.empty());
  ChangeVolume0([](Bytes& volume0) { volume0[0] = 2; StoreI32LE(&volume0[1], 1); });  // only Encrypted 1 enciphers
  EXPECT_EQ(ExtractSetMessage(""), "");  // the key is not even checked
  EXPECT_EQ(Tree().at("x"), ToBytes("x"));
}

// Each file's 0..100 % is its quarter of the whole; halves round to even.
// The exported ExtractAll, through the module-wide state, and ExtractSet,
// through its hooks, report alike.
TEST_F(ExtractionTest, OverallPercentagesOfFourFiles) {
  const Bytes twoChunks = PseudoRandomBytes(2 * kChunkSize, 8, 4);  // 50 %, 100 %, 100 % each
  WriteSet({Entry("a", twoChunks), Entry("b", twoChunks), Entry("c", twoChunks), Entry("d", twoChunks)});
  const std::vector<Report> expected = {{12, 0}, {25, 0}, {25, 0}, {38, 0}, {50, 0},  {50, 0},
                                        {62, 0}, {75, 0}, {75, 0}, {88, 0}, {100, 0}, {100, 0}};
  EXPECT_EQ(ExtractSetMessage(), "");
  EXPECT_EQ(log.Reports, expected);
  const std::string folder = destination.Path().string();
  bzip2arc::ExtractAll(Pattern().c_str(), kKey.c_str(), folder.c_str(), RecordProgress, nullptr);
  EXPECT_EQ(gLog.Reports, expected);
}

// A record reports the file's percentage and the bytes written so far, alike
// through the exported DecompressFile and through ExtractRecord's hooks.
TEST_F(ExtractionTest, ReportsOfOneRecord) {
  const Bytes odd = PseudoRandomBytes(11000, 9);
  // A 52-byte patch stream: one delta block of two copy records, 43 bytes up
  // to the first record, which alone brings new bytes (50 + 43/52 * 50).
  const Bytes patch = AppendingPatch(odd, ToBytes("v2"));
  using Reports = std::vector<Report>;
  for (const auto& [entry, size, reports] : {std::tuple{Entry("empty", {}), 0, Reports{{100, 0}}},
                                             {Entry("long", odd), 10000, {{102, kChunkSize}, {110, 11000}}},  // > Size
                                             {Entry("kind2", odd, 2), 11000, {{47, kChunkSize}, {50, 11000}}},
                                             {Entry("patched", patch, kKindPatch), 52, {{50, 52}, {91, 0}}}}) {
    WriteSet({entry});
    ChangeRecord(0, [size = size](DirectoryRecord& r) { r.Size = size; });
    DirectoryList list;
    ArchiveHeader header;
    ReadArchive(Pattern().c_str(), "", list, header);
    const std::string path = destination.File(entry.Name), workFile = WorkFile();
    testsupport::WriteFileBytes(destination.File("patched"), odd);
    gLog = {};
    DecompressFile(Pattern().c_str(), path.c_str(), list[0], header, RecordProgress, nullptr);
    EXPECT_EQ(gLog.Reports, reports) << entry.Name;
    testsupport::WriteFileBytes(destination.File("patched"), odd);
    log = {};
    LoggingHooks hooks(log);
    ExtractRecord(Pattern().c_str(), path.c_str(), list[0], header, {workFile.c_str(), &hooks, nullptr});
    EXPECT_EQ(log.Reports, reports) << entry.Name;
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
  EXPECT_EQ(ExtractSetMessage(), "");
  EXPECT_EQ(Tree(), (Files{{"plain.txt", kOriginal}, {"stamped.txt", kOriginal}}));
  EXPECT_TRUE(IsReadOnly(destination.File("stamped.txt")));
  EXPECT_FALSE(IsReadOnly(destination.File("plain.txt")));
  EXPECT_EQ(DosDateTimeOf(fs::last_write_time(destination.File("stamped.txt"))), entry.DateTime);
}

TEST_F(ExtractionTest, FailedPatchKeepsTheOldContentsInPatchOld) {
  Bytes badPatch = AppendingPatch(kOriginal, ToBytes("tail"));
  badPatch[5] ^= 1;  // the new CRC
  WriteSet({Entry("app.exe", kOriginal), Entry("app.exe", badPatch, kKindPatch)});
  EXPECT_EQ(ExtractSetMessage(), "CRC Error");
  EXPECT_EQ(Tree(), (Files{{"app.exe", {}}, {"patch.old", kOriginal}}));
  EXPECT_TRUE(Clean());
}

TEST_F(ExtractionTest, RecordWithoutStoredDataReadsNoVolume) {
  WriteSet({Entry("zero", {}), Entry("one", ToBytes("1"))});
  for (std::size_t i : {0, 1}) ChangeRecord(i, [](DirectoryRecord& r) { r.EndOffset = r.StartOffset; r.Volume = 77; });
  EXPECT_EQ(ExtractSetMessage(), "File one is corrupted");  // not "Disk #78 needed!"
  EXPECT_EQ(Tree(), (Files{{"one", {}}, {"zero", {}}}));
}

// A path cut to the limit would name another file.
TEST_F(ExtractionTest, DestinationPathBeyondTheLimitFails) {
  const std::string name(64, 'n'), folder = destination.Path().string();
  WriteSet({Entry(name, ToBytes("x"))});
  const std::string deeper = folder + std::string(kMaxDestinationPath - 64 - folder.size(), 'f');
  EXPECT_EQ(ExtractSetMessage("", deeper, nullptr), "Destination path too long for \"" + name + "\"");
  EXPECT_TRUE(Clean());
}

// A missing volume is asked for again and again until it is there, through
// the exported DiskProc as through ExtractSet's hooks; hooks that give up end
// the extraction with the library's own message.
TEST_F(ExtractionTest, MissingVolumeIsAskedForUntilItIsThere) {
  WriteSet({Entry("big.bin", kOriginal)}, 10000);
  const std::string volume1 = medium.File("setup1.lib"), withheld = work.File("withheld");
  const auto withhold = [&] { fs::rename(volume1, withheld); };
  const auto bringBack = [&] { fs::rename(withheld, volume1); };
  const std::string folder = destination.Path().string();

  withhold();
  gDiskRequests = {};
  gOnThirdRequest = bringBack;
  bzip2arc::ExtractAll(Pattern().c_str(), kKey.c_str(), folder.c_str(), nullptr, RecordDiskRequest);
  EXPECT_EQ(gDiskRequests, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Tree(), (Files{{"big.bin", kOriginal}}));

  for (const bool giveUp : {false, true}) {
    destination.Clear();
    withhold();
    DiskHooks hooks(bringBack, giveUp);
    EXPECT_EQ(ExtractSetMessage(kKey, folder, &hooks), giveUp ? "Disk #2 needed!" : "");
    EXPECT_EQ(hooks.Requests, (giveUp ? std::vector<int>{1} : std::vector<int>{1, 1, 1}));
    EXPECT_EQ(Tree(), (giveUp ? Files{} : Files{{"big.bin", kOriginal}}));
  }
  bringBack();
  EXPECT_TRUE(Clean());
}

// While a volume is missing, ExtractAll's caller hears the set's percentage
// before every disk request, never a lower one than it heard last (55 after
// a record 10 % longer than its Size, not 50), and may answer Cancel: the
// extraction ends with the work file gone and the awaited record unwritten.
// Without a progress callback it waits as before (the test above).
TEST_F(ExtractionTest, ACancelWhileAVolumeIsAwaitedEndsTheExtraction) {
  const Bytes longer(11000, 'x');
  WriteSet({Entry("long", longer), Entry("big.bin", kOriginal)}, 10000);
  ChangeRecord(0, [](DirectoryRecord& r) { r.Size = 10000; });
  int last = 0;
  while (fs::exists(medium.File("setup" + std::to_string(last + 1) + ".lib"))) ++last;
  ASSERT_GE(last, 1);
  const std::string volume = medium.File("setup" + std::to_string(last) + ".lib"), withheld = work.File("withheld");
  fs::rename(volume, withheld);
  gLog = {.CancelAt = 3};
  gDiskRequests = {};
  gOnThirdRequest = [&] { fs::rename(withheld, volume); };  // too late
  const std::string folder = destination.Path().string();
  EXPECT_EQ(testsupport::ErrorMessage<Exception>([&] {
              bzip2arc::ExtractAll(Pattern().c_str(), kKey.c_str(), folder.c_str(), RecordProgress, RecordDiskRequest);
            }),
            "Extraction terminated by user!");
  EXPECT_EQ(gLog.Reports, (std::vector<Report>{{51, 0}, {55, 0}, {55, 0}, {55, 0}}));
  EXPECT_EQ(gDiskRequests, (std::vector<int>{last}));
  EXPECT_EQ(Tree(), (Files{{"long", longer}}));
  fs::remove(withheld);
  EXPECT_TRUE(Clean());
}
