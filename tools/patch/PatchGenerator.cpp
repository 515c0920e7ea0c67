#include "PatchGenerator.h"

#include <stdexcept>

#include "BlockPlanner.h"
#include "PatchWriter.h"

namespace bzip2arc::patch {

std::vector<std::uint8_t> MakePatch(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                                    const PatchOptions& options) {
  constexpr std::size_t kMaxFileSize = 0x7FFFFFFF;
  if (oldData.size() > kMaxFileSize || newData.size() > kMaxFileSize) {
    throw std::length_error("patch input of 2 GiB or more");
  }
  const Alignment alignment(oldData, newData, options.alignment);
  PatchWriter writer(oldData, newData);
  PlanOptions plan;
  plan.costs = options.costs;
  plan.blockLength = options.blockLength;
  plan.regionLength = options.regionLength;
  plan.compareWithLiteral = options.compareWithLiteral;
  plan.literalBias = options.literalBias;
  plan.literalContext = options.literalContext;
  plan.joinDensity = options.joinDensity;
  plan.joinLength = options.joinLength;
  plan.alignCompressorBlocks = options.alignCompressorBlocks;
  plan.minSegment = options.minSegment;
  plan.threads = options.threads;
  WriteBlocks(alignment, oldData, newData, plan, writer);
  return writer.Finish();
}

}  // namespace bzip2arc::patch
