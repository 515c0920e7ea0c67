// Where the set-up stops rather than trust the library or wait for ever.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "ArchiveWriter.h"
#include "Globals.h"
#include "LoaderTestSupport.h"
#include "SetupSequence.h"
#include "Text.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

TEST(SetupSequenceTest, ACancelThatTheLibraryNeverSawStillFailsTheExtraction) {
  testsupport::TempFolder medium, temp;
  // No records: no progress report in which the library could learn of it.
  bzip2arc::WriteArchiveSet(medium.Path(), bzip2arc::BuildArchiveSet({}, {}));
  fs::copy_file(BuiltFile("bzip2arc.dll"), temp.Path() / "bzip2arc.dll");
  CopyText(TempDir, sizeof TempDir, temp.Path().string().c_str());
  EXPECT_TRUE(ExtractArchiveSet(medium.Path().string().c_str()));
  CancelRequested = true;
  EXPECT_FALSE(ExtractArchiveSet(medium.Path().string().c_str()));
  CancelRequested = false;  // tests only: the loader never resets it
  TempDir[0] = '\0';
}

TEST(SetupSequenceTest, TheWaitEndsForAReadOnlyProgramAndForOneThatIsGone) {
  testsupport::TempFolder temp;
  const fs::path program = temp.Path() / "Setup.bin";
  std::ofstream(program) << "x";
  ASSERT_TRUE(SetFileAttributesA(program.string().c_str(), FILE_ATTRIBUTE_READONLY));
  WaitForMainProgram(program.string().c_str());
  EXPECT_FALSE(fs::exists(program));
  WaitForMainProgram(program.string().c_str());  // moved away by the program itself
}
