// `arcset verify`: decodes every record as extraction would, without writing
// any file of the set: stored data in memory up to a bound, decoded files
// that a later patch needs in nameless work files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/core/ExtractionHooks.h"

namespace arcset {

// Stored data above this goes through a work file rather than memory.
constexpr std::int64_t kStoredInMemory = 16 << 20;

// Returns the number of records; raises the first failure with the message
// extraction would give. The records decode one after the other, each by a
// decoder of `decoders` (null: TBZDecompressionStream).
std::size_t VerifySet(const std::string& volumePattern, const std::string& key,
                      bzip2arc::DecoderFactory* decoders = nullptr, std::int64_t storedInMemory = kStoredInMemory);

}  // namespace arcset
