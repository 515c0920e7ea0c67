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
// appending to `newFile`. Fails with "CRC Error" on a checksum mismatch or an
// unknown block type, and with a clear error of its own on lengths beyond the
// buffers, copy records out of range and streams that end inside a block.
void ApplyPatch(TStream& patch, TStream& oldFile, TStream& newFile, PatchProgressProc progress);

}  // namespace bzip2arc
