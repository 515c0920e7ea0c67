// Extraction with the records' bzip2 streams decoded on several threads.
//
// Every record is its own stream, so workers gather and decode records ahead
// into memory through the library's decode loop, while one writer (the
// calling thread) takes them in directory order through the library's
// output steps (RecordOutput). Failures are held by their record and raised
// when the writer reaches it, so the files written before and the message
// are those of ExtractAll. A missing volume fails ("Disk #N needed!"):
// nobody is asked for it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/core/ExtractionHooks.h"

namespace arcset {

struct ParallelExtractOptions {
  unsigned Threads = 2;  // decoding threads besides the writer
  // Stored plus decoded bytes of the records in flight. A record that would
  // not fit alone is extracted by the library's ExtractRecord when its turn
  // comes, while the workers go on with the records after it.
  std::int64_t WindowBytes = std::int64_t{64} << 20;
  // Called with the overall percentage after each record.
  std::function<void(int percent)> Progress;
  // Null: the library's TBZDecompressionStream.
  bzip2arc::DecoderFactory* Decoders = nullptr;
};

void ParallelExtract(const std::string& volumePattern, const std::string& key, const std::string& destinationFolder,
                     const ParallelExtractOptions& options);

}  // namespace arcset
