// verify decodes what extraction would, in memory, and fails where it would.
#include <filesystem>

#include "Arguments.h"
#include "VerifyCommand.h"
#include "arcset/ArcsetTestSupport.h"
#include "archive/LibraryInterface.h"

namespace arcsettest {
namespace {

class Verify : public ::testing::Test {
 protected:
  // Returns "" or verify's message; expects ExtractAll to agree.
  std::string VerifyMessage(std::int64_t storedInMemory = arcset::kStoredInMemory) {
    const std::string pattern = medium_.File("setup%d.lib");
    std::string message;
    try {
      arcset::VerifySet(pattern, arcset::DefaultKey(), storedInMemory);
    } catch (const bzip2arc::Exception& error) {
      message = error.Message();
    }
    std::string extracted;
    try {
      bzip2arc::ExtractAll(pattern.c_str(), arcset::DefaultKey().c_str(), destination_.Path().string().c_str(), nullptr,
                           nullptr);
    } catch (const bzip2arc::Exception& error) {
      extracted = error.Message();
    }
    EXPECT_EQ(message, extracted);
    return message;
  }

  testsupport::TempFolder medium_;
  testsupport::TempFolder destination_;
  PrivateWorkFolder work_;
};

TEST_F(Verify, PatchChainsAndRewrittenFilesPass) {
  const Bytes v1 = TextBytes(40000, 1);
  Bytes v2 = v1;
  v2.insert(v2.begin() + 100, 5, 'x');
  const Bytes w = TextBytes(30000, 5);
  Bytes w2 = w;
  w2[10] = '#';
  WriteSet(medium_.Path(), {Entry("a", v1), Entry("b", w), Patch("a", v1, v2), Entry("b", w), Patch("b", w, w2),
                            Patch("a", v2, v1)});
  EXPECT_EQ(arcset::VerifySet(medium_.File("setup%d.lib"), arcset::DefaultKey()), 6u);
  EXPECT_EQ(VerifyMessage(), "");
}

TEST_F(Verify, PatchToTheWrongContentIsACrcError) {
  const Bytes v1 = TextBytes(40000, 1);
  Bytes v2 = v1;
  v2[20000] = '!';
  WriteSet(medium_.Path(), {Entry("a", TextBytes(40000, 2)), Patch("a", v1, v2)});
  EXPECT_EQ(VerifyMessage(), "CRC Error");
}

TEST_F(Verify, ShortAndBrokenStreamsFailLikeExtraction) {
  WriteSet(medium_.Path(), {Entry("a", TextBytes(4000, 1)), Entry("b", TextBytes(4000, 2))});
  ChangePlainRecord(medium_.Path(), 1, [](bzip2arc::DirectoryRecord& record) { record.Size = 4001; });
  EXPECT_EQ(VerifyMessage(), "File b is corrupted");
  ChangePlainRecord(medium_.Path(), 1, [](bzip2arc::DirectoryRecord& record) { record.Size = 4000; });
  Bytes volume = testsupport::ReadFileBytes(medium_.File("setup0.lib"));
  volume[volume.size() - 200] ^= 0x10;
  testsupport::WriteFileBytes(medium_.File("setup0.lib"), volume);
  EXPECT_NE(VerifyMessage(), "");
}

TEST_F(Verify, StreamsAboveTheMemoryLimitGoThroughAWorkFile) {
  WriteSet(medium_.Path(), {Entry("a", TextBytes(40000, 1)), Entry("b", testsupport::PseudoRandomBytes(90000, 3))},
           30000);
  EXPECT_EQ(VerifyMessage(0), "");
  Bytes volume = testsupport::ReadFileBytes(medium_.File("setup2.lib"));
  volume[12345] ^= 1;
  testsupport::WriteFileBytes(medium_.File("setup2.lib"), volume);
  EXPECT_NE(VerifyMessage(0), "");
}

TEST_F(Verify, PatchWithoutAnEarlierFileIsReported) {
  const Bytes v1 = TextBytes(4000, 1);
  WriteSet(medium_.Path(), {Entry("a", v1), Patch("b", v1, v1)});
  EXPECT_THROW(
      {
        try {
          arcset::VerifySet(medium_.File("setup%d.lib"), arcset::DefaultKey());
        } catch (const bzip2arc::Exception& error) {
          EXPECT_STREQ(error.Message(), "Patch record \"b\" follows no record that writes its file");
          throw;
        }
      },
      bzip2arc::Exception);
}

}  // namespace
}  // namespace arcsettest
