// The patch applier: the first two bytes give the length of the old file,
// the rest after it is the patch stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/core/Diff.h"
#include "archive/core/Error.h"
#include "archive/core/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::size_t oldLength = static_cast<std::size_t>(data[0] | (data[1] << 8));
  data += 2;
  size -= 2;
  if (oldLength > size) oldLength = size;
  bzip2arc::TMemoryStream oldFile(std::vector<std::uint8_t>(data, data + oldLength));
  bzip2arc::TMemoryStream patch(std::vector<std::uint8_t>(data + oldLength, data + size));
  bzip2arc::TMemoryStream newFile;
  struct CountsNeverNegative final : bzip2arc::PatchProgress {
    void PatchConsumed(std::int32_t consumed) override {
      if (consumed < 0) __builtin_trap();
    }
  } progress;
  try {
    bzip2arc::ApplyPatch(patch, oldFile, newFile, &progress);
  } catch (const bzip2arc::Exception&) {
  }
  return 0;
}
