// Extracting the one file that a directory record describes: gather its
// stored data from the volumes into a work file, decompress it into the
// destination (or into a patch stream that is then applied), stamp it.
#pragma once

#include <cstdint>

#include "ArchiveFormat.h"
#include "Stream.h"
#include "bzip2arc.h"

namespace bzip2arc {

// Volume bytes move in pieces, decompressed data in chunks one byte larger.
constexpr std::int32_t kPieceSize = 10240;
constexpr std::int32_t kChunkSize = 10241;

// Extracts `record` to `destinationPath`. Failures are raised after the
// clean-up: work files deleted, the destination's attributes set.
void DecompressFile(const char* volumePattern, const char* destinationPath, DirectoryRecord record,
                    ArchiveHeader header, ProgressProc progress, DiskProc disk);

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
