// Gathering and decoding a record's stored data in memory, failing with the
// messages the library's DecompressFile gives for the same faults. Used by
// `verify` and by the parallel extraction.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "archive/core/ArchiveFormat.h"
#include "archive/core/Stream.h"

namespace arcset {

// The length of the record's stored data, 0 when the offsets are reversed.
std::int64_t StoredLength(const bzip2arc::DirectoryRecord& record);

// The stored data of a record, gathered in memory when it is small and into a
// private work file (removed again) when it is not.
std::unique_ptr<bzip2arc::TStream> GatherToStream(const char* volumePattern, const bzip2arc::DirectoryRecord& record,
                                                  const bzip2arc::ArchiveHeader& header, std::int64_t memoryLimit);

}  // namespace arcset
