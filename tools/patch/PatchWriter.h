// Serialises patch blocks: literal blocks, delta blocks (inserted bytes and a
// copy table) and the end block, keeping every length within the applier's
// buffers and the old ranges of successive blocks back to back.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "archive/core/PatchFormat.h"

namespace bzip2arc::patch {

// Largest old range, literal data, inserted bytes, copy table or rebuilt
// block the applier accepts.
constexpr std::uint32_t kMaxBlockLength = kPatchBufferSize;

// The two bytes padding blocks alternate.
constexpr std::uint8_t kPaddingFirst = 0x55;
constexpr std::uint8_t kPaddingSecond = 0xAA;

// A copy of `Length` old bytes from `OldPos` to `NewPos`, both absolute
// (0-based) positions in the old and the new file. Longer copies than one
// record holds are split by the writer.
struct Copy {
  std::uint32_t NewPos;
  std::uint32_t OldPos;
  std::uint32_t Length;
};

class PatchWriter {
 public:
  // A writer that goes on from old position `oldStart` and new position
  // `newStart` (a part of a stream to be appended to another writer).
  PatchWriter(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
              std::uint32_t oldStart = 0, std::uint32_t newStart = 0);

  // The next block's old range starts where the previous one ended, and its
  // new bytes follow those of the previous block.
  std::uint32_t OldPosition() const { return oldPos_; }

  // The next `newLength` new bytes given in full; the old range of
  // `oldLength` bytes is dropped.
  void Literal(std::uint32_t oldLength, std::uint32_t newLength);

  // The next `newLength` new bytes rebuilt from the old range
  // [OldPosition(), +oldLength) by `copies` (ascending, non-overlapping, each
  // inside both ranges) and inserted bytes in the gaps.
  void Delta(std::uint32_t oldLength, std::uint32_t newLength, std::span<const Copy> copies);

  // Drops `oldLength` old bytes without producing new ones (blocks of
  // nothing but an old range), for old ranges longer than one block takes.
  void SkipOld(std::uint32_t oldLength);

  // A block that rebuilds nothing from no old bytes and carries `length`
  // inserted bytes no copy record uses (the format lets them be ignored):
  // filler that moves what follows to the start of a compressor block.
  void Padding(std::uint32_t length);
  // The bytes in front of the filler of a padding block: a delta block's header.
  static std::array<std::uint8_t, kDeltaHeaderSize> PaddingHeader(std::uint32_t length);

  // Appends what `part` wrote; it must have started where this writer is.
  void Append(const PatchWriter& part);

  // Appends the end block and hands over the stream.
  std::vector<std::uint8_t> Finish();

  // Bytes written so far.
  std::span<const std::uint8_t> Bytes() const { return out_; }

 private:
  std::span<const std::uint8_t> old_;
  std::span<const std::uint8_t> new_;
  std::uint32_t oldStart_;
  std::uint32_t newStart_;
  std::uint32_t oldPos_;
  std::uint32_t newPos_;
  std::vector<std::uint8_t> out_;
  std::vector<std::uint8_t> table_;
};

}  // namespace bzip2arc::patch
