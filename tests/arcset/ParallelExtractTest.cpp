// The parallel extraction against the library's ExtractAll: the same files,
// times and attributes, and on failure the same message and the same files.
#include <filesystem>

#include "Arguments.h"
#include "ParallelExtract.h"
#include "arcset/ArcsetTestSupport.h"
#include "archive/LibraryInterface.h"

namespace arcsettest {
namespace {

namespace fs = std::filesystem;
using bzip2arc::WriterEntry;

class ParallelExtract : public ::testing::Test {
 protected:
  void Write(const std::vector<WriterEntry>& entries, std::int64_t volumeSize = 0) {
    WriteSet(medium_.Path(), entries, volumeSize);
  }
  template <class Change>
  void ChangeRecord(std::size_t index, Change change) {
    ChangePlainRecord(medium_.Path(), index, change);
  }

  // Runs both extractions; expects the same message (or none) and the same
  // files, and returns the message.
  std::string ExpectSameAsLibrary(std::int64_t window = std::int64_t{64} << 20) {
    const std::string pattern = medium_.File("setup%d.lib");
    const std::string key = arcset::DefaultKey();
    std::string libraryMessage;
    try {
      bzip2arc::ExtractAll(pattern.c_str(), key.c_str(), library_.Path().string().c_str(), nullptr, nullptr);
    } catch (const bzip2arc::Exception& error) {
      libraryMessage = error.Message();
    }
    std::string parallelMessage;
    arcset::ParallelExtractOptions options;
    options.Threads = 3;
    options.WindowBytes = window;
    try {
      arcset::ParallelExtract(pattern, key, parallel_.Path().string(), options);
    } catch (const bzip2arc::Exception& error) {
      parallelMessage = error.Message();
    }
    EXPECT_EQ(parallelMessage, libraryMessage);
    ExpectSameFiles(TakeSnapshot(parallel_.Path()), TakeSnapshot(library_.Path()));
    return parallelMessage;
  }

  Snapshot Extracted() { return TakeSnapshot(parallel_.Path()); }

  testsupport::TempFolder medium_;
  testsupport::TempFolder library_;
  testsupport::TempFolder parallel_;
  PrivateWorkFolder work_;
};

std::vector<WriterEntry> ManyEntries() {
  std::vector<WriterEntry> entries;
  for (int i = 0; i < 24; ++i) {
    const Bytes content = i % 3 == 0 ? testsupport::PseudoRandomBytes(5000 + 997 * i, i) : TextBytes(8000 * i, i);
    entries.push_back(Entry("f" + std::to_string(i), content, i % 5 == 0 ? 0x21 : 0x20));
  }
  return entries;
}

TEST_F(ParallelExtract, ManyRecordsOverVolumes) {
  Write(ManyEntries(), 20000);
  EXPECT_EQ(ExpectSameAsLibrary(), "");
  EXPECT_EQ(Extracted().size(), 24u);
  EXPECT_TRUE(Extracted()["f5"].ReadOnly);
}

TEST_F(ParallelExtract, RecordsBeyondTheWindowGoThroughTheLibrary) {
  Write(ManyEntries());
  EXPECT_EQ(ExpectSameAsLibrary(60000), "");
  EXPECT_EQ(Extracted()["f20"].Content, TextBytes(160000, 20));
}

TEST_F(ParallelExtract, PatchesApplyInDirectoryOrder) {
  const Bytes v1 = TextBytes(90000, 1);
  Bytes v2 = v1;
  v2.insert(v2.begin() + 500, 40, 'x');
  Bytes v3 = v2;
  v3.resize(70000);
  Write({Entry("a", v1), Entry("b", TextBytes(3000, 9)), Patch("a", v1, v2), Patch("a", v2, v3)});
  EXPECT_EQ(ExpectSameAsLibrary(), "");
  EXPECT_EQ(Extracted()["a"].Content, v3);
}

TEST_F(ParallelExtract, ContentLongerThanItsSizeIsKept) {
  Write({Entry("a", TextBytes(100000, 1)), Entry("b", TextBytes(100, 2))});
  ChangeRecord(0, [](bzip2arc::DirectoryRecord& record) { record.Size = 1000; });
  EXPECT_EQ(ExpectSameAsLibrary(), "");
  EXPECT_EQ(Extracted()["a"].Content, TextBytes(100000, 1));
}

TEST_F(ParallelExtract, CorruptStreamFailsAfterTheRecordsBeforeIt) {
  Write({Entry("a", TextBytes(50000, 1)), Entry("b", TextBytes(200000, 2)), Entry("c", TextBytes(50000, 3))});
  Bytes volume = testsupport::ReadFileBytes(medium_.File("setup0.lib"));
  volume[volume.size() / 2] ^= 0xFF;  // inside b's stream
  testsupport::WriteFileBytes(medium_.File("setup0.lib"), volume);
  EXPECT_NE(ExpectSameAsLibrary(), "");
  EXPECT_EQ(Extracted().count("a"), 1u);
  EXPECT_EQ(Extracted().count("c"), 0u);
}

TEST_F(ParallelExtract, ShortContentIsCorrupted) {
  Write({Entry("a", TextBytes(5000, 1)), Entry("b", TextBytes(5000, 2))});
  ChangeRecord(1, [](bzip2arc::DirectoryRecord& record) { record.Size = 5001; });
  EXPECT_EQ(ExpectSameAsLibrary(), "File b is corrupted");
}

TEST_F(ParallelExtract, FailedPatchKeepsTheOldCopy) {
  const Bytes v1 = TextBytes(9000, 1);
  Bytes v2 = v1;
  v2[4000] = '!';
  Write({Entry("a", TextBytes(9000, 2)), Patch("a", v1, v2)});
  EXPECT_EQ(ExpectSameAsLibrary(), "CRC Error");
  EXPECT_EQ(Extracted()["patch.old"].Content, TextBytes(9000, 2));
}

TEST_F(ParallelExtract, DamagedRecordsFailAlike) {
  Write({Entry("a", TextBytes(5000, 1)), Entry("b", TextBytes(5000, 2)), Entry("c", TextBytes(5000, 3))});
  ChangeRecord(1, [](bzip2arc::DirectoryRecord& record) { record.Volume = 3; });
  EXPECT_NE(ExpectSameAsLibrary(), "");
  ChangeRecord(1, [](bzip2arc::DirectoryRecord& record) {
    record.Volume = 0;
    record.SetName("..");
  });
  EXPECT_EQ(ExpectSameAsLibrary(), "Invalid file name in archive: \"..\"");
}

TEST_F(ParallelExtract, UnknownKindOnlyDecodes) {
  Write({Entry("a", TextBytes(5000, 1)), Entry("b", TextBytes(5000, 2))});
  ChangeRecord(1, [](bzip2arc::DirectoryRecord& record) { record.Kind = 7; });
  EXPECT_EQ(ExpectSameAsLibrary(), "");
  EXPECT_EQ(Extracted().size(), 1u);
}

TEST_F(ParallelExtract, MissingVolumeIsNeeded) {
  Write(ManyEntries(), 20000);
  fs::remove(medium_.File("setup3.lib"));
  EXPECT_EQ(ExpectSameAsLibrary(), "Disk #4 needed!");
}

}  // namespace
}  // namespace arcsettest
