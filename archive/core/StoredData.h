// A record's stored data: gathered from the volumes, by the location rule,
// into a stream of its own before anything is decoded.
#pragma once

#include "ArchiveFormat.h"
#include "ExtractionHooks.h"
#include "Stream.h"

namespace bzip2arc {

// Gathers the stored data of `record` into `into`. While a volume is missing,
// `hooks` (may be null) are asked for it; when nobody brings it, fails with
// "Disk #%d needed!" (the volume's number + 1).
void GatherStoredData(const char* volumePattern, const DirectoryRecord& record, const ArchiveHeader& header,
                      ExtractionHooks* hooks, TStream& into);

}  // namespace bzip2arc
