// The public C interface of the static library, as a native program links it:
// arguments that would crash the library or misplace its files fail with its
// error before anything is read or written. (bzip2arc.dll: tests/dll.)
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "archive/bzip2arc.h"
#include "archive/core/Error.h"

namespace {

std::string MessageOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const bzip2arc::Exception& error) {
    return error.Message();
  }
  return "";
}

}  // namespace

TEST(Exports, NullOrEmptyTextArgumentsFailWithTheLibrarysError) {
  const DirectoryRecordBlock record{};
  const ArchiveHeaderBlock header{};
  ArchiveHeaderBlock read{};
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { ExtractAll(nullptr, "key", "dest", nullptr, nullptr); }, "No volume pattern given"},
      {[] { ExtractAll("", "key", "dest", nullptr, nullptr); }, "No volume pattern given"},
      {[] { ExtractAll("missing%d", "key", nullptr, nullptr, nullptr); }, "No destination folder given"},
      {[] { ExtractAll("missing%d", "key", "", nullptr, nullptr); }, "No destination folder given"},
      {[&] { ReadArchive(nullptr, "key", nullptr, &read); }, "No volume pattern given"},
      {[&] { DecompressFile(nullptr, "dest/x", record, header, nullptr, nullptr); }, "No volume pattern given"},
      {[&] { DecompressFile("missing%d", nullptr, record, header, nullptr, nullptr); }, "No destination path given"},
      {[&] { DecompressFile("missing%d", "", record, header, nullptr, nullptr); }, "No destination path given"},
  };
  for (const auto& [call, message] : cases) EXPECT_EQ(MessageOf(call), message);
  // A null key stays an empty key: the missing set is what fails.
  EXPECT_EQ(MessageOf([] { ExtractAll("missing%d", nullptr, "dest", nullptr, nullptr); }), "Could not open archive file!");
}
