// The layout of a patch stream: a sequence of blocks, each turning the next
// range of the old file into the next piece of the new file, ending with an
// end block. Little-endian, packed. The applier (Diff) reads it, the patch
// generator (tools/patch) writes it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bzip2arc {

// Every block starts with the length of its old range (u32) and its type (u8).
constexpr std::size_t kBlockOldLengthAt = 0;
constexpr std::size_t kBlockTypeAt = 4;

// Block types.
constexpr std::uint8_t kPatchLiteralBlock = 0;
constexpr std::uint8_t kPatchDeltaBlock = 1;

// Literal block: data length (u32; 0 makes it the end block, which ends
// there), data CRC (u32), the data.
constexpr std::size_t kLiteralDataLengthAt = 5;
constexpr std::size_t kLiteralDataCRCAt = 9;
constexpr std::size_t kLiteralHeaderSize = 13;
constexpr std::size_t kEndBlockSize = 9;

// Delta block: CRC of the rebuilt block, CRC of the old range, inserted
// length, table length (u32 each), then the inserted bytes and the copy
// table (table length div kCopyRecordSize records; extra bytes are ignored).
constexpr std::size_t kDeltaNewCRCAt = 5;
constexpr std::size_t kDeltaOldCRCAt = 9;
constexpr std::size_t kDeltaInsertedLengthAt = 13;
constexpr std::size_t kDeltaTableLengthAt = 17;
constexpr std::size_t kDeltaHeaderSize = 21;

// Copy record: length (u16), source (u32, 1-based in the old range),
// destination (u32, 1-based in the rebuilt block). Inserted bytes fill the
// gap in front of each destination; a rebuilt block that ends with inserted
// bytes ends with a record of length 0 whose destination is its length + 1.
constexpr std::size_t kCopyLengthAt = 0;
constexpr std::size_t kCopySourceAt = 2;
constexpr std::size_t kCopyDestinationAt = 6;
constexpr std::size_t kCopyRecordSize = 10;
constexpr std::uint32_t kMaxCopyLength = 0xFFFF;

// The applier's four buffers (literal data or inserted bytes, old range,
// rebuilt block, copy table) hold this much each: no length of a block may
// exceed it.
constexpr std::uint32_t kPatchBufferSize = 2 * 1024 * 1024;

}  // namespace bzip2arc
