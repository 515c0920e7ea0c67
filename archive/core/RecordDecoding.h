// The one decode loop: a record's decompressed bytes, chunk by chunk, from
// its decoder into a sink, under the progress and Cancel rules.
#pragma once

#include <cstdint>
#include <memory>

#include "ArchiveFormat.h"
#include "ExtractionHooks.h"
#include "Stream.h"

namespace bzip2arc {

// Decompressed data is read and written in chunks of this size.
constexpr std::int32_t kChunkSize = 10241;

// Where the decode loop puts a record's decompressed bytes: the extracted
// file (RecordOutput) or memory.
class DecodedSink {
 public:
  // The decoder has been rewound; the chunks follow.
  virtual void Prepare() = 0;
  // One chunk, possibly empty. False: the sink can take no more, and the
  // decoding is given up.
  virtual bool Write(const std::uint8_t* data, std::int32_t count) = 0;

 protected:
  ~DecodedSink() = default;
};

// The decoder of a record's gathered stored data: what `factory` makes, or
// without one a TBZDecompressionStream.
std::unique_ptr<TStream> MakeDecoder(DecoderFactory* factory, TStream& stored);

// Rewinds `decoder`, prepares `sink`, then reads chunks of kChunkSize bytes
// until one comes back short. After every chunk `hooks` hear the record's
// percentage (its Size taken as 100 for a file, as 50 for any other Kind) and
// its bytes so far, and may cancel; then the chunk goes to `sink`. Hooks and
// sink may be null. Fails with "File %s is corrupted" when the content is
// shorter than Size or would pass 2 GiB. False when the sink gave up.
bool DecodeRecord(TStream& decoder, const DirectoryRecord& record, ExtractionHooks* hooks, DecodedSink* sink);

}  // namespace bzip2arc
