// Extracting with the caller's context: what DecompressFile and ExtractAll
// do, without the module-wide state, in the OutputMode the context names.
#pragma once

#include "ArchiveFormat.h"
#include "DirectoryStore.h"
#include "ExtractionHooks.h"

namespace bzip2arc {

// Extracts the one file that `record` describes to `destinationPath`, with
// the work file, hooks, decoder and output mode of `context`.
void ExtractRecord(const char* volumePattern, const char* destinationPath, const DirectoryRecord& record,
                   const ArchiveHeader& header, const ExtractionContext& context);

// Extracts every record of `records` (read by ReadCheckedDirectory) into
// `destinationFolder`, in directory order, through ExtractRecord with
// `context`, whose hooks hear the set's percentage. A failure names its
// record (Exception::Record).
void ExtractRecords(const char* volumePattern, const ArchiveHeader& header, DirectoryStore& records,
                    const char* destinationFolder, const ExtractionContext& context);

// Reads the set's directory as ReadCheckedDirectory does, in a store beside
// the context's work file, then extracts it as ExtractRecords does: a
// directory with a damaged record extracts nothing.
void ExtractSet(const char* volumePattern, const char* key, const char* destinationFolder,
                const ExtractionContext& context);

}  // namespace bzip2arc
