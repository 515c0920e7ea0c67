#include "PatchWriter.h"

#include <stdexcept>

#include "archive/core/ByteOrder.h"
#include "archive/core/CRC32.h"

namespace bzip2arc::patch {
namespace {

// The planner keeps these; a violation is a bug that would yield a stream
// the applier rejects, so stop before writing it.
void Require(bool condition, const char* what) {
  if (!condition) throw std::logic_error(what);
}

}  // namespace

PatchWriter::PatchWriter(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                         std::uint32_t oldStart, std::uint32_t newStart)
    : old_(oldData), new_(newData), oldStart_(oldStart), newStart_(newStart), oldPos_(oldStart), newPos_(newStart) {}

void PatchWriter::Literal(std::uint32_t oldLength, std::uint32_t newLength) {
  Require(oldLength <= kMaxBlockLength && newLength <= kMaxBlockLength, "patch block too long");
  Require(newLength > 0, "empty literal block");
  Require(newLength <= new_.size() - newPos_, "literal block beyond the new file");
  const std::uint8_t* data = new_.data() + newPos_;
  std::uint8_t header[kLiteralHeaderSize];
  StoreU32LE(header + kBlockOldLengthAt, oldLength);
  header[kBlockTypeAt] = kPatchLiteralBlock;
  StoreU32LE(header + kLiteralDataLengthAt, newLength);
  StoreU32LE(header + kLiteralDataCRCAt, CRC32Checksum(data, newLength));
  out_.insert(out_.end(), header, header + kLiteralHeaderSize);
  out_.insert(out_.end(), data, data + newLength);
  oldPos_ += oldLength;
  newPos_ += newLength;
}

void PatchWriter::Delta(std::uint32_t oldLength, std::uint32_t newLength, std::span<const Copy> copies) {
  Require(oldLength <= kMaxBlockLength && newLength <= kMaxBlockLength, "patch block too long");
  Require(oldLength <= old_.size() - oldPos_, "old range beyond the old file");
  Require(newLength <= new_.size() - newPos_, "delta block beyond the new file");
  const std::uint32_t newEnd = newPos_ + newLength;
  const std::uint32_t oldEnd = oldPos_ + oldLength;

  // Inserted bytes are the gaps in front of each copy; a block ending with
  // inserted bytes needs a final empty copy to place them.
  const std::size_t insertedAt = out_.size() + kDeltaHeaderSize;
  out_.resize(insertedAt);
  table_.clear();
  std::uint32_t pos = newPos_;
  auto record = [&](std::uint32_t length, std::uint32_t source, std::uint32_t destination) {
    std::uint8_t bytes[kCopyRecordSize];
    StoreU16LE(bytes + kCopyLengthAt, static_cast<std::uint16_t>(length));
    StoreU32LE(bytes + kCopySourceAt, source);
    StoreU32LE(bytes + kCopyDestinationAt, destination);
    table_.insert(table_.end(), bytes, bytes + kCopyRecordSize);
  };
  for (const Copy& copy : copies) {
    Require(copy.Length > 0 && copy.NewPos >= pos && copy.Length <= newEnd - copy.NewPos, "copy outside the block");
    Require(copy.OldPos >= oldPos_ && copy.OldPos <= oldEnd && copy.Length <= oldEnd - copy.OldPos,
            "copy outside the old range");
    out_.insert(out_.end(), new_.begin() + pos, new_.begin() + copy.NewPos);
    for (std::uint32_t done = 0; done < copy.Length;) {
      const std::uint32_t length = std::min(kMaxCopyLength, copy.Length - done);
      record(length, copy.OldPos + done - oldPos_ + 1, copy.NewPos + done - newPos_ + 1);
      done += length;
    }
    pos = copy.NewPos + copy.Length;
  }
  if (pos < newEnd) {
    out_.insert(out_.end(), new_.begin() + pos, new_.begin() + newEnd);
    record(0, 1, newLength + 1);
  }
  const std::size_t insertedLength = out_.size() - insertedAt;
  Require(insertedLength <= kMaxBlockLength && table_.size() <= kMaxBlockLength, "delta block parts too long");

  std::uint8_t* header = out_.data() + insertedAt - kDeltaHeaderSize;
  StoreU32LE(header + kBlockOldLengthAt, oldLength);
  header[kBlockTypeAt] = kPatchDeltaBlock;
  StoreU32LE(header + kDeltaNewCRCAt, CRC32Checksum(new_.data() + newPos_, newLength));
  StoreU32LE(header + kDeltaOldCRCAt, CRC32Checksum(old_.data() + oldPos_, oldLength));
  StoreU32LE(header + kDeltaInsertedLengthAt, static_cast<std::uint32_t>(insertedLength));
  StoreU32LE(header + kDeltaTableLengthAt, static_cast<std::uint32_t>(table_.size()));
  out_.insert(out_.end(), table_.begin(), table_.end());
  oldPos_ = oldEnd;
  newPos_ = newEnd;
}

void PatchWriter::SkipOld(std::uint32_t oldLength) {
  while (oldLength > 0) {
    const std::uint32_t part = std::min(oldLength, kMaxBlockLength);
    Delta(part, 0, {});
    oldLength -= part;
  }
}

std::array<std::uint8_t, kDeltaHeaderSize> PatchWriter::PaddingHeader(std::uint32_t length) {
  // Old length 0, a delta block whose checksums are those of nothing (0),
  // `length` inserted bytes and no copy table.
  std::array<std::uint8_t, kDeltaHeaderSize> header{};
  header[kBlockTypeAt] = kPatchDeltaBlock;
  StoreU32LE(header.data() + kDeltaInsertedLengthAt, length);
  return header;
}

void PatchWriter::Padding(std::uint32_t length) {
  Require(length <= kMaxBlockLength, "padding too long");
  const auto header = PaddingHeader(length);
  out_.insert(out_.end(), header.begin(), header.end());
  // Alternating bytes: no runs for the run-length stage, next to nothing
  // after compression.
  for (std::uint32_t i = 0; i < length; ++i) out_.push_back(i % 2 == 0 ? kPaddingFirst : kPaddingSecond);
}

void PatchWriter::Append(const PatchWriter& part) {
  Require(part.oldStart_ == oldPos_ && part.newStart_ == newPos_, "appended part does not follow on");
  out_.insert(out_.end(), part.out_.begin(), part.out_.end());
  oldPos_ = part.oldPos_;
  newPos_ = part.newPos_;
}

std::vector<std::uint8_t> PatchWriter::Finish() {
  Require(newPos_ == new_.size(), "patch does not cover the new file");
  // No old range of its own, a literal block's type, no data.
  std::uint8_t end[kEndBlockSize] = {};
  end[kBlockTypeAt] = kPatchLiteralBlock;
  out_.insert(out_.end(), end, end + kEndBlockSize);
  return std::move(out_);
}

}  // namespace bzip2arc::patch
