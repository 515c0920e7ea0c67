// The file layer when the file system says no: each refusal is reported, none
// looks like success or like an empty file. (What it does when all goes well
// is checked through whole extractions in tests/extraction.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/core/ArchiveReader.h"
#include "archive/core/Platform.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::ErrorMessage;
namespace fs = std::filesystem;

TEST(FileStream, AFolderIsNoFileToOpen) {
  testsupport::TempFolder folder;
  fs::create_directory(folder.Path() / "setup0.lib");
  const std::string name = folder.File("setup0.lib");
  EXPECT_EQ(ErrorMessage<EFOpenError>([&] { TFileStream(name.c_str(), FileMode::OpenReadShared); }),
            "Cannot open file \"" + name + "\"");
  // So a folder where volume 0 should be is a volume that cannot be opened.
  DirectoryList list;
  ArchiveHeader header;
  EXPECT_EQ(ErrorMessage<EArchiveError>([&] { ReadArchive(folder.File("setup%d.lib").c_str(), "", list, header); }),
            "Could not open archive file!");
}

TEST(FileStream, NoFileIsCreatedInAFolderThatIsNotThere) {
  testsupport::TempFolder folder;
  const std::string name = (folder.Path() / "missing" / "bzin.tmp").string();
  for (const FileMode mode : {FileMode::Create, FileMode::CreateWorkFile}) {
    EXPECT_EQ(ErrorMessage<EStreamError>([&] { TFileStream(name.c_str(), mode); }),
              "Cannot create file \"" + name + "\"");
  }
  EXPECT_TRUE(fs::is_empty(folder.Path()));
}

TEST(Platform, DuplicateFileCopiesEveryByteOrReportsFailure) {
  testsupport::TempFolder folder;
  const testsupport::Bytes content = testsupport::PseudoRandomBytes(200000, 4);  // more than one copy buffer
  testsupport::WriteFileBytes(folder.Path() / "old", content);
  EXPECT_TRUE(platform::DuplicateFile(folder.File("old").c_str(), folder.File("copy").c_str()));
  EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "copy"), content);

  EXPECT_FALSE(platform::DuplicateFile(folder.File("absent").c_str(), folder.File("copy2").c_str()));
  EXPECT_FALSE(fs::exists(folder.Path() / "copy2"));
  EXPECT_FALSE(platform::DuplicateFile(folder.File("old").c_str(), (folder.Path() / "missing" / "copy").string().c_str()));
#ifndef _WIN32
  // Every write fails there, as on a full disk.
  EXPECT_FALSE(platform::DuplicateFile(folder.File("old").c_str(), "/dev/full"));
#endif
}
