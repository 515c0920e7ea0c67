// A read-only stream that hands out the decompressed bytes of the bzip2
// stream in its source, like TBZDecompressionStream, decoding its blocks on
// several threads.
//
// Blocks are found by their magic (BlockScanner) and decoded ahead, each on
// its own (DecodeBlock). A block is taken only when it decodes, its CRC holds
// and it ends exactly where the next magic starts, so a magic inside block
// data is never taken for a block start. What is handed out is then exactly
// what libbz2 would hand out. At the first thing that is not a plain run of
// such blocks up to an end marker whose combined CRC holds and after which
// the source ends (damaged or cut data, bytes after the end, a stray magic),
// the stream goes over to a TBZDecompressionStream over the same source,
// skipped forward to where the current read began, so that every failure,
// its message and the bytes before it are the one-thread stream's.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/core/BZip2.h"
#include "archive/core/Stream.h"

namespace bzip2arc {

class WorkQueue;

class TParallelBZDecompressionStream : public TStream {
 public:
  // `threads` decoding threads (at least one) of its own besides the caller.
  // The caller owns the source and must not free it before the stream.
  TParallelBZDecompressionStream(TStream& source, unsigned threads);
  // Blocks decode on `work`'s threads, which streams decoding at the same
  // time share; `work` must outlive the stream.
  TParallelBZDecompressionStream(TStream& source, WorkQueue& work);
  ~TParallelBZDecompressionStream() override;

  // Comes back short only when the source is exhausted. Failures are those
  // of TBZDecompressionStream.
  std::int32_t Read(void* buffer, std::int32_t count) override;
  // Always fails with "Invalid stream operation".
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  // seek(0, soBeginning) rewinds, also putting the source back to position 0;
  // seeks beyond the current position skip forward; anything else fails.
  std::int32_t Seek(std::int32_t offset, std::uint16_t origin) override;

  // Whether the stream has gone over to the one-thread decoder.
  bool DecodingAlone() const { return alone_ != nullptr; }

 private:
  class Blocks;  // the blocks found and decoded ahead

  void GoOnAlone(std::int64_t readStart);

  TStream& source_;
  std::unique_ptr<WorkQueue> ownWork_;
  WorkQueue& work_;
  std::int32_t start_;         // of the bzip2 stream in the source
  std::int64_t position_ = 0;  // bytes handed out
  std::unique_ptr<Blocks> blocks_;
  std::unique_ptr<TBZDecompressionStream> alone_;
};

}  // namespace bzip2arc
