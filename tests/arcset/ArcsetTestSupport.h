// Shared pieces of the arcset tests: running the built program, input files
// with fixed time stamps, and snapshots of folders to compare.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "arcset/ProcessRunner.h"
#include "archive/ArchiveFormat.h"
#include "support/TempFolder.h"

namespace arcsettest {

using testsupport::Bytes;

// A file as extraction leaves it.
struct FileState {
  Bytes Content;
  std::filesystem::file_time_type Time;
  bool ReadOnly = false;
  bool operator==(const FileState&) const = default;
};
using Snapshot = std::map<std::string, FileState>;

Snapshot TakeSnapshot(const std::filesystem::path& folder);

// The same files with the same contents and read-only bits, and the same
// times where the extraction set them (a file whose extraction failed keeps
// the time of its last write, which differs from run to run).
void ExpectSameFiles(const Snapshot& actual, const Snapshot& expected);

// Writes `content` with a modification time at an even second of a day in
// June 2021 (`minute` apart for different files), optionally read-only.
void WriteInput(const std::filesystem::path& file, const Bytes& content, int minute = 0, bool readOnly = false);

// Text-like bytes that bzip2 compresses well.
Bytes TextBytes(std::size_t length, std::uint32_t seed);

std::vector<std::string> VolumeNames(const std::filesystem::path& folder);

// Writer entries dated 2021-06-15 11:19:22; a patch entry made by the patch
// generator.
bzip2arc::WriterEntry Entry(const std::string& name, const Bytes& content, std::uint32_t attributes = 0x20);
bzip2arc::WriterEntry Patch(const std::string& name, const Bytes& from, const Bytes& to);

// Writes a set with a plain directory into `folder`.
void WriteSet(const std::filesystem::path& folder, const std::vector<bzip2arc::WriterEntry>& entries,
              std::int64_t volumeSize = 0);

// Rewrites record `index` of a plain set in `folder`.
template <class Change>
void ChangePlainRecord(const std::filesystem::path& folder, std::size_t index, Change change) {
  Bytes volume = testsupport::ReadFileBytes(folder / "setup0.lib");
  std::uint8_t* bytes = volume.data() + bzip2arc::kArchiveHeaderSize + bzip2arc::kDirectoryRecordSize * index;
  bzip2arc::DirectoryRecord record;
  bzip2arc::DecodeDirectoryRecord(bytes, record);
  change(record);
  bzip2arc::EncodeDirectoryRecord(record, bytes);
  testsupport::WriteFileBytes(folder / "setup0.lib", volume);
}

// Points the library's work files (TMP on Windows, TMPDIR elsewhere) and so
// those of the programs started meanwhile to a private folder while it lives.
class PrivateWorkFolder {
 public:
  PrivateWorkFolder();
  ~PrivateWorkFolder();
  PrivateWorkFolder(const PrivateWorkFolder&) = delete;
  PrivateWorkFolder& operator=(const PrivateWorkFolder&) = delete;

 private:
  testsupport::TempFolder folder_;
  std::string saved_;
  bool hadValue_ = false;
};

// Runs the built arcset program inside a private folder.
class ArcsetCli : public ::testing::Test {
 protected:
  void SetUp() override;
  ProcessResult Arcset(const std::vector<std::string>& arguments);
  std::string Path(const std::string& name) const { return folder_.File(name); }

  testsupport::TempFolder folder_;
  testsupport::TempFolder scratch_;
  PrivateWorkFolder work_;
};

}  // namespace arcsettest
