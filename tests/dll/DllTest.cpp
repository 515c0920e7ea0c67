// bzip2arc.dll as the loader uses it: loaded at run time, called through
// GetProcAddress, its failures caught across the module boundary.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "archive/LibraryGuard.h"
#include "extraction/ExtractionFixture.h"

using namespace extraction;
using testsupport::PseudoRandomBytes;

namespace {

using ExtractAllFunction = void(__stdcall*)(const char*, const char*, const char*, ProgressProc, DiskProc);
using ReadArchiveFunction = void(__stdcall*)(const char*, const char*, const DirectoryListCallbacks*,
                                             ArchiveHeaderBlock*);
using PrepareFunction = std::uint8_t(__stdcall*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);

std::string LibraryPath() {
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  return (std::filesystem::path(std::string(path, length)).parent_path() / "bzip2arc.dll").string();
}

class Library {
 public:
  Library() : module_(::LoadLibraryA(LibraryPath().c_str())) {}
  ~Library() {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  template <class Function>
  Function Get(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
  }
  bool Loaded() const { return module_ != nullptr; }

 private:
  HMODULE module_;
};

class DllTest : public ExtractionTest {
 protected:
  void SetUp() override {
    ExtractionTest::SetUp();
    ASSERT_TRUE(library.Loaded()) << LibraryPath();
    extractAll = library.Get<ExtractAllFunction>("ExtractAll");
    ASSERT_NE(extractAll, nullptr);
  }

  // Calls ExtractAll as the loader does; returns "" or the library's message.
  std::string CallExtractAll(DiskProc disk = nullptr) {
    const std::string pattern = Pattern();
    const std::string folder = destination.Path().string();
    const std::string key(std::begin(bzip2arc::kDefaultDirectoryKey), std::end(bzip2arc::kDefaultDirectoryKey));
    struct Call {
      ExtractAllFunction function;
      const char* pattern;
      const char* key;
      const char* folder;
      DiskProc disk;
    } call{extractAll, pattern.c_str(), key.c_str(), folder.c_str(), disk};
    bzip2arc::LibraryFailure failure;
    const bool ok = bzip2arc::CallLibrary(
        [](void* context) {
          auto& c = *static_cast<Call*>(context);
          c.function(c.pattern, c.key, c.folder, RecordProgress, c.disk);
        },
        &call, failure);
    if (ok) return "";
    EXPECT_EQ(failure.Code, BZIP2ARC_EXCEPTION_CODE);
    return failure.Message;
  }

  Library library;
  ExtractAllFunction extractAll = nullptr;
};

struct RecordList {
  std::vector<bzip2arc::DirectoryRecord> records;
  int clears = 0;

  static void __stdcall Clear(void* context) { ++static_cast<RecordList*>(context)->clears; }
  static void __stdcall Append(void* context, const DirectoryRecordBlock* block) {
    bzip2arc::DirectoryRecord record;
    bzip2arc::DecodeDirectoryRecord(block->Bytes, record);
    static_cast<RecordList*>(context)->records.push_back(record);
  }
};

std::filesystem::path gWithheld;
std::filesystem::path gPlace;
// Puts the volume back during the second request.
void PutVolumeBack(int) {
  if (Log().DiskRequests.size() == 1) std::filesystem::rename(gWithheld, gPlace);
}

}  // namespace

TEST_F(DllTest, ExtractsASetWithProgressUpToOneHundred) {
  bzip2arc::WriterOptions options;
  options.VolumeSize = 20000;
  const std::vector<bzip2arc::WriterEntry> entries = {Entry("Setup.bin", PseudoRandomBytes(40000, 1, 16)),
                                                      Entry("data.dat", PseudoRandomBytes(30000, 2))};
  WriteSet(entries, options);
  EXPECT_EQ(CallExtractAll(), "");
  for (const auto& entry : entries) EXPECT_EQ(Extracted(entry.Name), entry.Content);
  ASSERT_FALSE(Log().Reports.empty());
  EXPECT_EQ(Log().Reports.back().Percent, 100);
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(DllTest, DiskCallbackRunsUntilTheVolumeIsBack) {
  bzip2arc::WriterOptions options;
  options.VolumeSize = 10000;
  const Bytes content = PseudoRandomBytes(30000, 3);
  WriteSet({Entry("big.bin", content)}, options);
  gPlace = medium.File("setup1.lib");
  gWithheld = work.Path() / "withheld";
  std::filesystem::rename(gPlace, gWithheld);
  Log().OnDisk = PutVolumeBack;
  EXPECT_EQ(CallExtractAll(RecordDisk), "");
  EXPECT_EQ(Log().DiskRequests, (std::vector<int>{1, 1}));
  EXPECT_EQ(Extracted("big.bin"), content);
}

TEST_F(DllTest, FailuresReachTheCallerWithTheLibrarysMessage) {
  EXPECT_EQ(CallExtractAll(), "Could not open archive file!");

  bzip2arc::WriterOptions plain;
  plain.Encrypt = false;
  WriteSet({Entry("a.bin", PseudoRandomBytes(20000, 4, 8))}, plain);
  Bytes volume = testsupport::ReadFileBytes(medium.File("setup0.lib"));
  volume[volume.size() - 200] ^= 0x40;
  testsupport::WriteFileBytes(medium.File("setup0.lib"), volume);
  EXPECT_EQ(CallExtractAll(), "error -4");
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(DllTest, CancelAndPatchChecksumFailuresCleanUp) {
  const Bytes original = PseudoRandomBytes(20000, 5, 8);
  Bytes badPatch = AppendingPatch(original, testsupport::ToBytes("more"));
  badPatch[9] ^= 1;  // the old CRC
  bzip2arc::WriterEntry patch = Entry("app.exe", badPatch);
  patch.Kind = bzip2arc::kKindPatch;
  WriteSet({Entry("app.exe", original), patch});
  EXPECT_EQ(CallExtractAll(), "CRC Error");
  EXPECT_EQ(testsupport::ReadFileBytes(destination.File("patch.old")), original);
  EXPECT_TRUE(WorkLeftovers().empty());

  std::filesystem::remove_all(destination.Path() / "patch.old");
  Log() = CallbackLog{};
  Log().CancelAt = 0;
  EXPECT_EQ(CallExtractAll(), "Extraction terminated by user!");
  EXPECT_TRUE(WorkLeftovers().empty());
}

TEST_F(DllTest, ReadArchiveFillsTheCallersListAndPrepareAnswersTrue) {
  WriteSet({Entry("one", testsupport::ToBytes("1")), Entry("two", testsupport::ToBytes("22"))});
  auto readArchive = library.Get<ReadArchiveFunction>("ReadArchive");
  auto prepare = library.Get<PrepareFunction>("Prepare");
  ASSERT_NE(readArchive, nullptr);
  ASSERT_NE(prepare, nullptr);
  ASSERT_NE(library.Get<void*>("DecompressFile"), nullptr);

  RecordList list;
  DirectoryListCallbacks callbacks{&list, RecordList::Clear, RecordList::Append};
  ArchiveHeaderBlock header{};
  const std::string pattern = Pattern();
  const std::string key(std::begin(bzip2arc::kDefaultDirectoryKey), std::end(bzip2arc::kDefaultDirectoryKey));
  readArchive(pattern.c_str(), key.c_str(), &callbacks, &header);
  EXPECT_EQ(list.clears, 1);
  ASSERT_EQ(list.records.size(), 2u);
  EXPECT_EQ(list.records[1].NameView(), "two");
  EXPECT_EQ(list.records[1].Size, 2);
  EXPECT_EQ(header.Bytes[0], 1);  // enciphered
  EXPECT_EQ(prepare(1, 2, 3, 4, 5, 6), 1);
}
