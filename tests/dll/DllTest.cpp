// bzip2arc.dll as the loader uses it: loaded at run time, called through
// GetProcAddress, its failures caught across the module boundary.
#include <windows.h>

#include <filesystem>
#include <memory>

#include "archive/LibraryGuard.h"
#include "extraction/ExtractionFixture.h"

using namespace extraction;
using testsupport::PseudoRandomBytes;
using testsupport::ToBytes;

namespace {

class DllTest : public ExtractionTest {
 public:
  void SetUp() override { ASSERT_NE(module, nullptr); }
  template <class Function>
  Function Get(const char* name) const {
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module.get(), name)));
    EXPECT_NE(function, nullptr) << name;
    return function;
  }
  // Calls ExtractAll as the loader does: "" or the message that crossed over.
  // No work file may stay behind either way.
  std::string CallExtractAll(DiskProc disk = nullptr) {
    using Function = void(__stdcall*)(const char*, const char*, const char*, ProgressProc, DiskProc);
    const Function extractAll = Get<Function>("ExtractAll");
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
};

std::vector<DirectoryRecord> gRecords;
void __stdcall ClearRecords(void*) { gRecords.clear(); }
void __stdcall AppendRecord(void*, const DirectoryRecordBlock* block) {
  DecodeDirectoryRecord(block->Bytes, gRecords.emplace_back());
}

}  // namespace

TEST_F(DllTest, ExtractsASetAskingForAMissingVolume) {
  const Bytes content = PseudoRandomBytes(30000, 3);
  WriteSet({Entry("big.bin", content), Entry("small.txt", ToBytes("x"))}, 10000);
  std::filesystem::rename(medium.File("setup1.lib"), work.File("withheld"));
  Log().OnDisk = [&] { std::filesystem::rename(work.File("withheld"), medium.File("setup1.lib")); };
  EXPECT_EQ(CallExtractAll(RecordDisk), "");
  EXPECT_EQ(Log().DiskRequests, std::vector<int>{1});
  EXPECT_EQ(Tree().at("big.bin"), content);
  EXPECT_EQ(Log().Reports.back(), (Report{100, 0}));
}

TEST_F(DllTest, FailuresCrossWithTheLibrarysMessage) {
  const Bytes original = PseudoRandomBytes(20000, 5, 8);
  Bytes badPatch = AppendingPatch(original, ToBytes("more"));
  badPatch[9] ^= 1;  // the old CRC
  WriteSet({Entry("app.exe", original), Entry("app.exe", badPatch, kKindPatch)});
  EXPECT_EQ(CallExtractAll(), "CRC Error");
  Log() = {.CancelAt = 0};
  EXPECT_EQ(CallExtractAll(), "Extraction terminated by user!");
  ChangeVolume0([](Bytes& volume) { volume[kArchiveHeaderSize + 2 * kDirectoryRecordSize + 1000] ^= 0x40; });
  Log() = {};
  EXPECT_EQ(CallExtractAll(), "error -4");
}

TEST_F(DllTest, ReadArchiveFillsTheCallersListAndPrepareAnswersTrue) {
  WriteSet({Entry("one", ToBytes("1")), Entry("two", ToBytes("22"))}, 0, true);
  using Function = void(__stdcall*)(const char*, const char*, const DirectoryListCallbacks*, ArchiveHeaderBlock*);
  const DirectoryListCallbacks callbacks{nullptr, ClearRecords, AppendRecord};
  gRecords.resize(5);
  ArchiveHeaderBlock header{};
  Get<Function>("ReadArchive")(Pattern().c_str(), kKey.c_str(), &callbacks, &header);
  ASSERT_EQ(gRecords.size(), 2u);
  EXPECT_EQ(std::tuple(gRecords[1].NameView(), gRecords[1].Size, header.Bytes[0]), std::tuple("two", 2, 1));
  using PrepareFunction = std::uint8_t(__stdcall*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
  EXPECT_EQ(Get<PrepareFunction>("Prepare")(1, 2, 3, 4, 5, 6), 1);
}
