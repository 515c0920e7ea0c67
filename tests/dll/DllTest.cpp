// bzip2arc.dll as the loader uses it: loaded at run time, called through
// GetProcAddress, its failures caught across the module boundary.
#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "archive/guard/LibraryGuard.h"
#include "extraction/ExtractionFixture.h"

using namespace extraction;
using testsupport::PseudoRandomBytes;
using testsupport::ToBytes;

namespace {

class DllTest : public ExtractionTest {
 public:
  // The export keeps its work file in the system temporary folder: this
  // test's work folder, which Clean() looks at, while it runs.
  void SetUp() override {
    ASSERT_NE(module, nullptr);
    systemTemp.resize(MAX_PATH);
    systemTemp.resize(::GetEnvironmentVariableA("TMP", systemTemp.data(), MAX_PATH));
    ::SetEnvironmentVariableA("TMP", work.Path().string().c_str());
  }
  void TearDown() override { ::SetEnvironmentVariableA("TMP", systemTemp.empty() ? nullptr : systemTemp.c_str()); }
  // The export `name`; Function is its type in bzip2arc.h.
  template <class Function>
  Function Get(const char* name) const {
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module.get(), name)));
    EXPECT_NE(function, nullptr) << name;
    return function;
  }
  // Calls ExtractAll as the loader does: "" or the message that crossed over.
  // No work file may stay behind either way.
  std::string CallExtractAll(DiskProc disk = nullptr) {
    const auto extractAll = Get<decltype(&::ExtractAll)>("ExtractAll");
    const std::string pattern = Pattern(), folder = destination.Path().string();
    const std::string message = testsupport::ErrorMessage<LibraryError>([&] {
      CallLibraryOrThrow([&] { extractAll(pattern.c_str(), kKey.c_str(), folder.c_str(), RecordProgress, disk); });
    });
    EXPECT_TRUE(Clean());
    return message;
  }

  // The one beside this program: the first place LoadLibraryA looks.
  std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&::FreeLibrary)> module{::LoadLibraryA("bzip2arc.dll"),
                                                                                    ::FreeLibrary};
  std::string systemTemp;
};

// The volumes asked for; the withheld one comes back at the third request.
std::vector<int> gDiskRequests;
std::function<void()> gOnThirdRequest;
void __stdcall RecordDisk(std::uint8_t volume) {
  gDiskRequests.push_back(volume);
  if (gDiskRequests.size() == 3) gOnThirdRequest();
}

std::vector<DirectoryRecord> gRecords;
void __stdcall ClearRecords(void*) { gRecords.clear(); }
void __stdcall AppendRecord(void*, const DirectoryRecordBlock* block) {
  DecodeDirectoryRecord(block->Bytes, gRecords.emplace_back());
}

}  // namespace

TEST_F(DllTest, AsksForAMissingVolumeUntilItIsThere) {
  const Bytes content = PseudoRandomBytes(30000, 3);
  WriteSet({Entry("big.bin", content), Entry("small.txt", ToBytes("x"))}, 10000);
  std::filesystem::rename(medium.File("setup1.lib"), work.File("withheld"));
  gOnThirdRequest = [&] { std::filesystem::rename(work.File("withheld"), medium.File("setup1.lib")); };
  EXPECT_EQ(CallExtractAll(RecordDisk), "");
  EXPECT_EQ(gDiskRequests, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Tree().at("big.bin"), content);
  EXPECT_EQ(gLog.Reports.back(), (Report{100, 0}));
}

// The loader's Cancel while its disk prompt is up: the export asks the
// progress callback before every disk request and stops at its Cancel.
TEST_F(DllTest, ACancelWhileAVolumeIsAwaitedEndsTheExtraction) {
  WriteSet({Entry("big.bin", PseudoRandomBytes(30000, 3))}, 10000);
  const std::string volume = medium.File("setup1.lib"), withheld = medium.File("withheld");
  std::filesystem::rename(volume, withheld);
  gLog = {.CancelAt = 1};
  gDiskRequests = {};
  gOnThirdRequest = [&] { std::filesystem::rename(withheld, volume); };  // too late
  EXPECT_EQ(CallExtractAll(RecordDisk), "Extraction terminated by user!");
  EXPECT_EQ(gLog.Reports, (std::vector<Report>{{0, 0}, {0, 0}}));
  EXPECT_EQ(gDiskRequests, (std::vector<int>{1}));
  EXPECT_TRUE(Tree().empty());
}

// A file (or a link) under the work file's old fixed name stays as it was:
// every extraction creates a new file of a name of its own.
TEST_F(DllTest, TheWorkFileNeverTakesAnExistingName) {
  testsupport::WriteFileBytes(work.File("bzin.tmp"), ToBytes("planted"));
  WriteSet({Entry("a.txt", ToBytes("a"))});
  const auto extractAll = Get<decltype(&::ExtractAll)>("ExtractAll");
  const std::string pattern = Pattern(), folder = destination.Path().string();
  CallLibraryOrThrow([&] { extractAll(pattern.c_str(), kKey.c_str(), folder.c_str(), RecordProgress, nullptr); });
  EXPECT_EQ(Tree(), (Files{{"a.txt", ToBytes("a")}}));
  EXPECT_EQ(testsupport::ReadFileBytes(work.File("bzin.tmp")), ToBytes("planted"));
  EXPECT_EQ(Count(work.Path()), 1);
}

TEST_F(DllTest, FailuresCrossWithTheLibrarysMessage) {
  const Bytes original = PseudoRandomBytes(20000, 5, 8);
  Bytes badPatch = AppendingPatch(original, ToBytes("more"));
  badPatch[9] ^= 1;  // the old CRC
  WriteSet({Entry("app.exe", original), Entry("app.exe", badPatch, kKindPatch)});
  EXPECT_EQ(CallExtractAll(), "CRC Error");
  gLog = {.CancelAt = 0};
  EXPECT_EQ(CallExtractAll(), "Extraction terminated by user!");
  ChangeVolume0([](Bytes& volume) { volume[kArchiveHeaderSize + 2 * kDirectoryRecordSize + 1000] ^= 0x40; });
  gLog = {};
  EXPECT_EQ(CallExtractAll(), "error -4");
}

// Before, a null text crashed inside the DLL and an empty destination put the
// files into the root of drive C.
TEST_F(DllTest, NullOrEmptyArgumentsFailBeforeAnythingIsWritten) {
  WriteSet({Entry("stray.txt", ToBytes("x"))});
  const auto extractAll = Get<decltype(&::ExtractAll)>("ExtractAll");
  const std::string pattern = Pattern(), folder = destination.Path().string();
  const struct {
    const char *Pattern, *Folder, *Message;
  } cases[] = {
      {nullptr, folder.c_str(), "No volume pattern given"},
      {pattern.c_str(), nullptr, "No destination folder given"},
      {pattern.c_str(), "", "No destination folder given"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(testsupport::ErrorMessage<LibraryError>([&] {
                CallLibraryOrThrow([&] { extractAll(c.Pattern, kKey.c_str(), c.Folder, RecordProgress, nullptr); });
              }),
              c.Message);
    EXPECT_TRUE(Clean());
  }
  EXPECT_TRUE(gLog.Reports.empty());
  EXPECT_FALSE(std::filesystem::exists("C:\\stray.txt"));
}

TEST_F(DllTest, ReadArchiveFillsTheCallersListAndPrepareAnswersTrue) {
  WriteSet({Entry("one", ToBytes("1")), Entry("two", ToBytes("22"))}, 0, true);
  const DirectoryListCallbacks callbacks{nullptr, ClearRecords, AppendRecord};
  gRecords.resize(5);
  ArchiveHeaderBlock header{};
  Get<decltype(&::ReadArchive)>("ReadArchive")(Pattern().c_str(), kKey.c_str(), &callbacks, &header);
  ASSERT_EQ(gRecords.size(), 2u);
  EXPECT_EQ(std::tuple(gRecords[1].NameView(), gRecords[1].Size, header.Bytes[0]), std::tuple("two", 2, 1));
  EXPECT_EQ(Get<decltype(&::Prepare)>("Prepare")(1, 2, 3, 4, 5, 6), 1);
}
