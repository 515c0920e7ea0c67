// Writes bzip2 streams whose blocks are compressed on several threads. The
// content is cut where libbz2 would end its blocks, each block is compressed
// on its own by libbz2 and the blocks are joined at bit level under one
// header and an end marker with the combined CRC: the very bytes that libbz2
// (bzip2 -9 at level 9) writes for the same content, whatever the number of
// threads. Streams follow each other without a pause for the threads.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "BlockJoiner.h"
#include "CompressorBlocks.h"
#include "WorkQueue.h"

namespace bzip2arc {

namespace bzip2 {
class BlockCompressor;
struct CompressedBlock;
}  // namespace bzip2

class ParallelCompressor {
 public:
  // Receives the streams' bytes in order; `streamEnds` marks the last bytes
  // of a stream.
  using Output = std::function<void(std::span<const std::uint8_t> bytes, bool streamEnds)>;

  // `threads` compressing threads besides the caller (0: one per core). Each
  // holds a block compressor (7.5 MB at level 9); one more takes the content.
  ParallelCompressor(int blockSize100k, unsigned threads, Output output);
  ~ParallelCompressor();
  ParallelCompressor(const ParallelCompressor&) = delete;
  ParallelCompressor& operator=(const ParallelCompressor&) = delete;

  // Content of the current stream.
  void Write(std::span<const std::uint8_t> content);
  // Ends the current stream; the next Write begins another.
  void EndStream();
  // Returns when every stream ended so far has gone to the output.
  void Flush();

 private:
  struct Step {
    std::shared_ptr<WorkQueue::Job> Job;  // none: the end of a stream
    std::shared_ptr<bzip2::CompressedBlock> Block;
  };

  void Feed(std::int64_t end, std::span<const std::uint8_t> content, std::int64_t contentStart);
  void SubmitBlock();
  void Collect(std::size_t keep);
  void Join(const Step& step);

  const int blockSize100k_;
  const std::size_t inFlight_;
  Output output_;

  // The stream being read.
  CompressorBlockTracker tracker_;
  std::unique_ptr<bzip2::BlockCompressor> block_;
  std::int64_t fed_ = 0;           // content given to block compressors
  std::vector<std::uint8_t> held_;  // content from fed_ on, the run that may start the next block

  bzip2::BlockJoiner joined_;  // the streams being written

  std::deque<Step> steps_;
  WorkQueue work_;  // last: its threads stop before anything they use goes
};

}  // namespace bzip2arc
