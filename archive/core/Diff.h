// The patch applier: turns an old file into a new one by a patch stream of
// literal and delta blocks, every block checked by CRC-32.
#pragma once

#include <cstdint>

#include "Stream.h"

namespace bzip2arc {

// Each of the applier's four buffers (literal data or inserted bytes, old
// range, rebuilt block, copy table) holds this much; no length in a patch
// stream may exceed it.
constexpr std::int32_t kPatchBufferSize = 2 * 1024 * 1024;

// Block types.
constexpr std::uint8_t kPatchLiteralBlock = 0;
constexpr std::uint8_t kPatchDeltaBlock = 1;
constexpr std::int32_t kCopyRecordSize = 10;

// Called with the number of patch-stream bytes consumed since the previous
// call (the first call counts from the start of the stream).
using PatchProgressProc = void (*)(std::int32_t consumed);

// Positions all three streams at offset 0 and applies `patch` to `oldFile`,
// appending to `newFile`; `progress` may be null. Fails (EArchiveError) with
// "CRC Error" on a checksum mismatch or an unknown block type, and with a
// message of its own on lengths beyond the buffers, copy records that go
// backwards, past the inserted bytes or outside the old range, a patch stream
// that ends before its end block, and an old file that ends inside the old
// range of a delta block (literal blocks drop their old range unchecked). The
// new file then holds the blocks before the failing one.
void ApplyPatch(TStream& patch, TStream& oldFile, TStream& newFile, PatchProgressProc progress);

}  // namespace bzip2arc
