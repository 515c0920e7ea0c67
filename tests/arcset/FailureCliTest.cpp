// Archive failures: exit status 1 with the library's message, the same for
// the library's extraction and the parallel one.
#include <filesystem>

#include "arcset/ArcsetTestSupport.h"
#include "archive/ArchiveFormat.h"

namespace arcsettest {
namespace {

namespace fs = std::filesystem;

class Failure : public ArcsetCli {
 protected:
  // Four files over volumes of 16 KiB: the second file starts in volume 1.
  void SetUp() override {
    ArcsetCli::SetUp();
    if (IsSkipped()) return;
    fs::create_directory(Path("in"));
    WriteInput(Path("in/1.txt"), TextBytes(4000, 1));
    WriteInput(Path("in/2.bin"), testsupport::PseudoRandomBytes(30000, 2));
    WriteInput(Path("in/3.bin"), testsupport::PseudoRandomBytes(30000, 3));
    WriteInput(Path("in/4.txt"), TextBytes(4000, 4));
    ASSERT_EQ(Arcset({"create", "--plain", "--volume-size", "16K", Path("set"), Path("in")}).ExitCode, 0);
  }

  // Extracts with -j 1 and -j 2; both must fail alike and leave the same files.
  std::string ExpectBothFail() {
    const ProcessResult one = Arcset({"extract", Path("set"), Path("out1")});
    const ProcessResult two = Arcset({"extract", "-j", "2", Path("set"), Path("out2")});
    EXPECT_EQ(one.ExitCode, 1) << one.Err;
    EXPECT_EQ(two.ExitCode, 1) << two.Err;
    EXPECT_EQ(one.Err, two.Err);
    ExpectSameFiles(TakeSnapshot(Path("out2")), TakeSnapshot(Path("out1")));
    return one.Err;
  }
};

TEST_F(Failure, MissingFirstVolume) {
  fs::remove(Path("set/setup0.lib"));
  EXPECT_EQ(ExpectBothFail(), "arcset: Could not open archive file!\n");
  EXPECT_EQ(Arcset({"list", Path("set")}).Err, "arcset: Could not open archive file!\n");
}

TEST_F(Failure, WithheldVolumeWithoutTerminal) {
  fs::rename(Path("set/setup1.lib"), Path("setup1.lib"));
  EXPECT_EQ(ExpectBothFail(), "arcset: Disk #2 needed!\n");
  EXPECT_EQ(TakeSnapshot(Path("out1")).count("1.txt"), 1u) << "records before it are extracted";
  const ProcessResult verify = Arcset({"verify", Path("set")});
  EXPECT_EQ(verify.ExitCode, 1);
  EXPECT_EQ(verify.Err, "arcset: Disk #2 needed!\n");
}

TEST_F(Failure, CorruptedVolume) {
  Bytes volume = testsupport::ReadFileBytes(Path("set/setup2.lib"));
  for (std::size_t i = 1000; i < 1100; ++i) volume[i] ^= 0x5A;
  testsupport::WriteFileBytes(Path("set/setup2.lib"), volume);
  const std::string message = ExpectBothFail();
  EXPECT_EQ(message.rfind("arcset: ", 0), 0u);
  const ProcessResult verify = Arcset({"verify", Path("set")});
  EXPECT_EQ(verify.ExitCode, 1);
  EXPECT_EQ(verify.Err, message);
}

TEST_F(Failure, CutHeader) {
  Bytes volume = testsupport::ReadFileBytes(Path("set/setup0.lib"));
  volume.resize(bzip2arc::kArchiveHeaderSize + 50);
  testsupport::WriteFileBytes(Path("set/setup0.lib"), volume);
  EXPECT_EQ(ExpectBothFail(), "arcset: Error reading archive header!\n");
  EXPECT_EQ(Arcset({"list", "--json", Path("set")}).ExitCode, 1);
}

TEST_F(Failure, ShortStreamIsCorrupted) {
  // Claim one byte more than the stream of 4.txt holds.
  Bytes volume = testsupport::ReadFileBytes(Path("set/setup0.lib"));
  std::uint8_t* record = volume.data() + bzip2arc::kArchiveHeaderSize + 3 * bzip2arc::kDirectoryRecordSize;
  bzip2arc::DirectoryRecord decoded;
  bzip2arc::DecodeDirectoryRecord(record, decoded);
  decoded.Size += 1;
  bzip2arc::EncodeDirectoryRecord(decoded, record);
  testsupport::WriteFileBytes(Path("set/setup0.lib"), volume);
  EXPECT_EQ(ExpectBothFail(), "arcset: File 4.txt is corrupted\n");
  EXPECT_EQ(Arcset({"verify", Path("set")}).Err, "arcset: File 4.txt is corrupted\n");
}

}  // namespace
}  // namespace arcsettest
