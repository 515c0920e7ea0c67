// Extracting the one file that a directory record describes: gather its
// stored data from the volumes into a work file, decompress it into the
// destination (or into a patch stream that is then applied), stamp it.
#pragma once

#include <cstdint>
#include <memory>

#include "ArchiveFormat.h"
#include "Diff.h"
#include "Platform.h"
#include "Stream.h"
#include "archive/bzip2arc.h"

namespace bzip2arc {

// Volume bytes move in pieces, decompressed data in chunks one byte larger.
constexpr std::int32_t kPieceSize = 10240;
constexpr std::int32_t kChunkSize = 10241;

// Extracts `record` to `destinationPath`. Failures are raised after the
// clean-up: work files deleted, the destination's attributes set.
void DecompressFile(const char* volumePattern, const char* destinationPath, DirectoryRecord record,
                    ArchiveHeader header, ProgressProc progress, DiskProc disk);

// "File NAME is corrupted".
[[noreturn]] void RaiseCorrupted(const DirectoryRecord& record);

// What DecompressFile writes for one record once its stored data is
// gathered: the destination (or "patch.tmp" for a patch stream), then for a
// patch the new file rebuilt from "patch.old". Files are closed, stamped and
// cleaned up in the order the clean-up needs on every way out; "patch.old"
// stays when a patch fails, as it then holds the only old contents.
class RecordOutput {
 public:
  RecordOutput(const DirectoryRecord& record, const char* destinationPath);
  ~RecordOutput();
  RecordOutput(const RecordOutput&) = delete;
  RecordOutput& operator=(const RecordOutput&) = delete;

  // Creates the destination, stamped, or "patch.tmp".
  void Create();
  void Write(const void* data, std::int32_t count) { output_->WriteBuffer(data, count); }
  std::int32_t Written() { return output_->Size(); }
  // Stamps the destination again, or applies the patch stream written.
  void Finish(PatchProgressProc progress);

 private:
  const DirectoryRecord& record_;
  const char* destinationPath_;
  const platform::PathText patchFile_;
  const platform::PathText oldCopy_;
  std::unique_ptr<TFileStream> output_;
  std::unique_ptr<TFileStream> oldFile_;
  std::unique_ptr<TFileStream> newFile_;
  bool keepOldCopy_ = false;
};

// Gathers a record's stored data from the volumes into `into`, by the
// location rule. While a volume is missing, `disk` is called (again and
// again) if there is one; otherwise it fails with "Disk #%d needed!".
void GatherStoredData(const char* volumePattern, const DirectoryRecord& record, const ArchiveHeader& header,
                      DiskProc disk, TStream& into);

// Copies `count` bytes from the source's position (a count of 0: the whole
// source from its start) in pieces, stopping at the first short read.
// Returns the number copied; a short write fails.
std::int32_t CopyBytes(TStream& source, TStream& destination, std::int32_t count);

// The patch applier's progress: `consumed` patch-stream bytes since its last
// report, shown as the second half (50..100) of the file's progress. Reports
// of no new bytes are not passed on.
void ReportPatchProgress(std::int32_t consumed);

}  // namespace bzip2arc
