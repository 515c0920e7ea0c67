// The archive writer: a set written into a folder from files read in pieces
// is the set built in memory, byte for byte, whatever the threads; each
// stored stream is libbz2's own; a set that cannot be written leaves nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "archive/core/ArchiveFormat.h"
#include "support/TempFolder.h"

namespace {

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::PseudoRandomBytes;

std::vector<Bytes> FolderVolumes(const std::filesystem::path& folder) {
  std::vector<Bytes> volumes;
  for (std::size_t i = 0; std::filesystem::exists(folder / ("setup" + std::to_string(i) + ".lib")); ++i)
    volumes.push_back(testsupport::ReadFileBytes(folder / ("setup" + std::to_string(i) + ".lib")));
  return volumes;
}

}  // namespace

TEST(ArchiveWriter, FilesReadInPiecesMakeTheSetBuiltInMemory) {
  testsupport::TempFolder folder;
  const std::vector<Bytes> contents = {PseudoRandomBytes(1'100'000, 1, 32), {}, PseudoRandomBytes(40'000, 2, 4),
                                       Bytes(3'000'000, 0x20)};
  std::vector<WriterEntry> inMemory, fromFiles;
  for (std::size_t i = 0; i < contents.size(); ++i) {
    const std::string name = "f" + std::to_string(i) + ".bin";
    inMemory.push_back({name, 0x20, 0x5A6B4C21, kKindFile, contents[i]});
    testsupport::WriteFileBytes(folder.Path() / name, contents[i]);
    WriterEntry entry{name, 0x20, 0x5A6B4C21, kKindFile, {}};
    if (i == 2) {
      entry.MakeContent = [&contents] { return contents[2]; };
    } else {
      entry.ContentFile = folder.Path() / name;
    }
    fromFiles.push_back(entry);
  }
  WriterOptions options;
  options.VolumeSize = 250'000;
  options.FirstVolumeSize = 300'000;
  options.StorageOrder = {3, 0, 2, 1};
  options.Encrypt = false;  // the test reads the directory
  options.Threads = 1;
  const std::vector<Bytes> built = BuildArchiveSet(inMemory, options);
  EXPECT_GE(built.size(), 3u);

  // Each stored stream is libbz2's stream of its content.
  Bytes logical;
  for (const Bytes& volume : built) logical.insert(logical.end(), volume.begin(), volume.end());
  for (std::size_t i = 0; i < contents.size(); ++i) {
    DirectoryRecord record;
    DecodeDirectoryRecord(logical.data() + kArchiveHeaderSize + kDirectoryRecordSize * i, record);
    EXPECT_EQ(Bytes(logical.begin() + record.StartOffset, logical.begin() + record.EndOffset),
              testsupport::Bzip2Compress(contents[i]));
  }

  for (const unsigned threads : {2u, 5u}) {
    options.Threads = threads;
    EXPECT_EQ(BuildArchiveSet(inMemory, options), built);
    const std::filesystem::path out = folder.Path() / ("out" + std::to_string(threads));
    const WrittenSet written = CreateArchiveSet(out, fromFiles, options);
    EXPECT_EQ(FolderVolumes(out), built);
    EXPECT_EQ(written.Volumes, built.size());
    EXPECT_EQ(written.Bytes, static_cast<std::int64_t>(logical.size()));
  }
}

TEST(ArchiveWriter, ASetThatCannotBeWrittenLeavesNothing) {
  testsupport::TempFolder folder;
  const std::vector<WriterEntry> entries = {{"big.bin", 0x20, 0, kKindFile, PseudoRandomBytes(200'000, 3)}};
  WriterOptions options;
  options.VolumeSize = 500;  // more than 256 volumes
  options.FirstVolumeSize = 1000;
  EXPECT_EQ(testsupport::ErrorMessage<std::exception>([&] { CreateArchiveSet(folder.Path(), entries, options); }),
            "more than 256 volumes needed; choose a larger volume size");
  options.VolumeSize = 0;
  options.Key.clear();
  EXPECT_EQ(testsupport::ErrorMessage<std::exception>([&] { CreateArchiveSet(folder.Path(), entries, options); }),
            "Blowfish: Key must be between 1 and 56 bytes long");
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}
