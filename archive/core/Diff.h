// The patch applier: turns an old file into a new one by a patch stream of
// literal and delta blocks (PatchFormat.h), every block checked by CRC-32.
#pragma once

#include <cstdint>

#include "PatchFormat.h"
#include "Stream.h"

namespace bzip2arc {

// Hears how far the applier got.
class PatchProgress {
 public:
  // `consumed` patch-stream bytes since the previous report (the first
  // report counts from the start of the stream).
  virtual void PatchConsumed(std::int32_t consumed) = 0;

 protected:
  ~PatchProgress() = default;
};

// Positions all three streams at offset 0 and applies `patch` to `oldFile`,
// appending to `newFile`; `progress` may be null. Fails (EArchiveError) with
// "CRC Error" on a checksum mismatch or an unknown block type, and with a
// message of its own on lengths beyond the buffers, copy records that go
// backwards, past the inserted bytes or outside the old range, a patch stream
// that ends before its end block, and an old file that ends inside the old
// range of a delta block (literal blocks drop their old range unchecked). The
// new file then holds the blocks before the failing one.
void ApplyPatch(TStream& patch, TStream& oldFile, TStream& newFile, PatchProgress* progress);

}  // namespace bzip2arc
