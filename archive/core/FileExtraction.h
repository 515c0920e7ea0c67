// Extracting the one file that a directory record describes: gather its
// stored data into a work file, decode it into the destination (or into a
// patch stream that is then applied), stamp it, clean up.
#pragma once

#include "ArchiveFormat.h"
#include "ExtractionHooks.h"
#include "archive/bzip2arc.h"

namespace bzip2arc {

// The exported operation: the work file is "bzin.tmp" in the system
// temporary folder, and the callbacks report through the module-wide state.
// Failures are raised after the clean-up.
void DecompressFile(const char* volumePattern, const char* destinationPath, DirectoryRecord record,
                    ArchiveHeader header, ProgressProc progress, DiskProc disk);

// The same steps with the work file, hooks and decoder of `context`; touches
// no module-wide state.
void ExtractRecord(const char* volumePattern, const char* destinationPath, const DirectoryRecord& record,
                   const ArchiveHeader& header, const ExtractionContext& context);

}  // namespace bzip2arc
