// What `arcset create` puts into a set: the INPUT files in order, the files
// directly inside folder INPUTs sorted by name, then the --patch records.
#pragma once

#include <filesystem>
#include <vector>

#include "Arguments.h"
#include "ArchiveWriter.h"

namespace arcset {

// All records: one per input file (names unique ignoring case), then one
// patch record per request. A patch must name a file already in the set whose
// content at that point equals OLD and that is not read-only by then. An
// input the set cannot hold fails with its reason (exit status 1).
std::vector<bzip2arc::WriterEntry> CollectEntries(const std::vector<std::filesystem::path>& inputs,
                                                  const std::vector<PatchRequest>& patches);

}  // namespace arcset
