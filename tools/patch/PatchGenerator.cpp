#include "PatchGenerator.h"

#include <stdexcept>

#include "PatchWriter.h"

namespace bzip2arc::patch {

std::vector<std::uint8_t> MakePatch(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                                    const PatchOptions& options) {
  constexpr std::size_t kMaxFileSize = 0x7FFFFFFF;
  if (oldData.size() > kMaxFileSize || newData.size() > kMaxFileSize) {
    throw std::length_error("patch input of 2 GiB or more");
  }
  const Alignment alignment(oldData, newData, options.Alignment);
  PatchWriter writer(oldData, newData);
  WriteBlocks(alignment, oldData, newData, options.Plan, writer);
  return writer.Finish();
}

}  // namespace bzip2arc::patch
