// The decoders of the records of an extraction or verification when their
// blocks decode on several threads: one pool of threads for all of them, so
// that records decoded at the same time share the threads instead of each
// bringing its own.
#pragma once

#include <memory>

#include "WorkQueue.h"
#include "archive/core/ExtractionHooks.h"

namespace bzip2arc {

class ParallelDecoderFactory final : public DecoderFactory {
 public:
  // `threads` decoding threads (at least one).
  explicit ParallelDecoderFactory(unsigned threads) : work_(threads > 0 ? threads : 1) {}

  // A TParallelBZDecompressionStream on the shared threads; may be called
  // from several threads at once.
  std::unique_ptr<TStream> MakeDecoder(TStream& stored) override;

 private:
  WorkQueue work_;
};

}  // namespace bzip2arc
