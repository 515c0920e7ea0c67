#include "ParallelDecoderFactory.h"

#include "ParallelDecompressionStream.h"

namespace bzip2arc {

std::unique_ptr<TStream> ParallelDecoderFactory::MakeDecoder(TStream& stored) {
  return std::make_unique<TParallelBZDecompressionStream>(stored, work_);
}

}  // namespace bzip2arc
