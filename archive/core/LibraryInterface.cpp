#include "LibraryInterface.h"

#include "ModuleState.h"
#include "Percent.h"

namespace bzip2arc {

namespace {

// The progress callback ExtractAll hands to DecompressFile: turns the file's
// percentage into one for the whole set and passes the caller's answer on.
void BZ2ARC_CALL ReportOverallProgress(std::int32_t percent, std::int32_t, std::int32_t* cancel) {
  if (OverallProgress == nullptr) return;
  OverallProgress(SetPercent(FileIndex, FileCount, percent, OverallShown), 0, cancel);
}

}  // namespace

void ExtractAll(const char* volumePattern, const char* key, const char* destinationFolder, ProgressProc progress,
                DiskProc disk) {
  OverallProgress = progress;
  OverallShown = INT32_MIN;  // nothing reported yet
  DirectoryList list;
  ArchiveHeader header;
  ReadArchive(volumePattern, key, list, header);
  FileCount = static_cast<std::int32_t>(list.Count());
  for (std::int32_t i = 0; i < FileCount; ++i) {
    const DirectoryRecord record = list[static_cast<std::size_t>(i)];
    FileIndex = i;
    const DestinationPath path = CheckedDestinationPath(destinationFolder, record, header);
    DecompressFile(volumePattern, path.c_str(), record, header, ReportOverallProgress, disk);
  }
}

bool Prepare(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) { return true; }

}  // namespace bzip2arc
