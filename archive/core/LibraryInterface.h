// The library's operations as C++ functions: they raise bzip2arc::Exception.
// Exports.cpp wraps them for bzip2arc.dll; native callers use them directly.
#pragma once

#include <cstdint>

#include "ArchiveReader.h"
#include "FileExtraction.h"
#include "Platform.h"
#include "archive/bzip2arc.h"

namespace bzip2arc {

// Longest destination path ExtractAll builds (folder, separator, name).
#ifdef _WIN32
constexpr std::size_t kMaxDestinationPath = 255;
#else
constexpr std::size_t kMaxDestinationPath = platform::kMaxPath - 1;
#endif

using DestinationPath = FixedText<kMaxDestinationPath + 1>;

// Where ExtractAll puts `record`: checked (record, name, path length) before
// anything is written for it. Inline: the DLL has one caller and no bytes to spare.
inline DestinationPath CheckedDestinationPath(const char* destinationFolder, const DirectoryRecord& record,
                                              const ArchiveHeader& header) {
  CheckDirectoryRecord(record, header);
  CheckRecordName(record.NameView());
  DestinationPath path;
  path.Append(destinationFolder).Append(platform::kPathSeparator).Append(record.NameView());
  if (path.Truncated()) RaiseNamed("Destination path too long for \"", record.NameView(), "\"");
  return path;
}

// Extracts every record of the set into `destinationFolder`, in directory
// order, through DecompressFile and the module-wide state. Names that would
// leave the folder and paths longer than the limit fail before anything is
// written for that record.
void ExtractAll(const char* volumePattern, const char* key, const char* destinationFolder, ProgressProc progress,
                DiskProc disk);

// Does nothing; kept for callers that expect it.
bool Prepare(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t);

}  // namespace bzip2arc
