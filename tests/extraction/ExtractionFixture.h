// Shared set-up of the extraction tests: a medium folder, a destination
// folder, a private temporary folder for the library's work files, and
// callbacks that record what the library reports.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "archive/ArchiveFormat.h"
#include "archive/bzip2arc.h"
#include "support/TempFolder.h"

namespace extraction {

using testsupport::Bytes;

struct Report {
  std::int32_t Percent;
  std::int32_t Bytes;
};

// What the callbacks saw; the library's callbacks carry no context pointer.
struct CallbackLog {
  std::vector<Report> Reports;
  std::vector<int> DiskRequests;
  std::int32_t CancelAt = -1;      // answer cancel at this report (0-based)
  std::int32_t CancelAnswer = -1;  // the nonzero answer to give
  // Called on a disk request before it is recorded (e.g. to put a volume in place).
  void (*OnDisk)(int volume) = nullptr;
};
CallbackLog& Log();

void BZ2ARC_CALL RecordProgress(std::int32_t percent, std::int32_t bytes, std::int32_t* cancel);
void BZ2ARC_CALL RecordDisk(std::uint8_t volume);

bzip2arc::WriterEntry Entry(const std::string& name, const Bytes& content);

// A patch stream of one literal block: turns any old file into `content`.
Bytes LiteralPatch(const Bytes& content);
// A patch stream of one delta block that copies `old` whole and appends `tail`.
Bytes AppendingPatch(const Bytes& old, const Bytes& tail);

class ExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds and writes the set into the medium folder.
  void WriteSet(const std::vector<bzip2arc::WriterEntry>& entries, const bzip2arc::WriterOptions& options = {});
  std::string Pattern() const { return medium.File("setup%d.lib"); }
  std::string Destination(const std::string& name) const { return destination.File(name); }
  Bytes Extracted(const std::string& name) const { return testsupport::ReadFileBytes(destination.File(name)); }

  // Runs ExtractAll into the destination folder; returns "" or the message.
  std::string ExtractAllMessage(const char* key = nullptr, ProgressProc progress = RecordProgress,
                                DiskProc disk = nullptr);

  // Rewrites record `index` of a plain (not enciphered) set's volume 0.
  template <class Change>
  void ChangeRecord(std::size_t index, Change change) {
    Bytes volume = testsupport::ReadFileBytes(medium.File("setup0.lib"));
    bzip2arc::DirectoryRecord record;
    std::uint8_t* bytes = volume.data() + bzip2arc::kArchiveHeaderSize + bzip2arc::kDirectoryRecordSize * index;
    bzip2arc::DecodeDirectoryRecord(bytes, record);
    change(record);
    bzip2arc::EncodeDirectoryRecord(record, bytes);
    testsupport::WriteFileBytes(medium.File("setup0.lib"), volume);
  }

  // Names of everything left in the library's temporary folder.
  std::vector<std::string> WorkLeftovers() const;
  std::vector<std::string> DestinationNames() const;
  // True when `root` holds nothing but the three folders.
  bool NothingBesideTheFolders() const;

  // Everything a test touches lies in `root`: the medium, the destination and
  // the library's temporary folder, so writes elsewhere are easy to see.
  testsupport::TempFolder root;
  testsupport::TempFolder medium{root.Path()};
  testsupport::TempFolder destination{root.Path()};
  testsupport::TempFolder work{root.Path()};

 private:
  std::string savedTemp_;
  bool hadTemp_ = false;
};

}  // namespace extraction
