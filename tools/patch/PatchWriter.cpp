#include "PatchWriter.h"

#include <stdexcept>

#include "archive/core/ByteOrder.h"
#include "archive/core/CRC32.h"

namespace bzip2arc::patch {
namespace {

constexpr std::uint8_t kLiteralType = 0;
constexpr std::uint8_t kDeltaType = 1;
constexpr std::size_t kRecordSize = 10;

// The planner keeps these; a violation is a bug that would yield a stream
// the applier rejects, so stop before writing it.
void Require(bool condition, const char* what) {
  if (!condition) throw std::logic_error(what);
}

}  // namespace

PatchWriter::PatchWriter(std::span<const std::uint8_t> oldData, std::span<const std::uint8_t> newData,
                         std::uint32_t oldStart, std::uint32_t newStart)
    : old_(oldData), new_(newData), oldStart_(oldStart), newStart_(newStart), oldPos_(oldStart), newPos_(newStart) {}

void PatchWriter::PutU32(std::uint32_t value) {
  std::uint8_t bytes[4];
  StoreU32LE(bytes, value);
  out_.insert(out_.end(), bytes, bytes + 4);
}

void PatchWriter::Literal(std::uint32_t oldLength, std::uint32_t newLength) {
  Require(oldLength <= kMaxBlockLength && newLength <= kMaxBlockLength, "patch block too long");
  Require(newLength > 0, "empty literal block");
  Require(newLength <= new_.size() - newPos_, "literal block beyond the new file");
  const std::uint8_t* data = new_.data() + newPos_;
  PutU32(oldLength);
  out_.push_back(kLiteralType);
  PutU32(newLength);
  PutU32(CRC32Checksum(data, newLength));
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
  const std::size_t insertedAt = out_.size() + 21;
  out_.resize(insertedAt);
  table_.clear();
  std::uint32_t pos = newPos_;
  auto record = [&](std::uint32_t length, std::uint32_t source, std::uint32_t destination) {
    std::uint8_t bytes[kRecordSize];
    StoreU16LE(bytes, static_cast<std::uint16_t>(length));
    StoreU32LE(bytes + 2, source);
    StoreU32LE(bytes + 6, destination);
    table_.insert(table_.end(), bytes, bytes + kRecordSize);
  };
  for (const Copy& copy : copies) {
    Require(copy.length > 0 && copy.newPos >= pos && copy.length <= newEnd - copy.newPos, "copy outside the block");
    Require(copy.oldPos >= oldPos_ && copy.oldPos <= oldEnd && copy.length <= oldEnd - copy.oldPos,
            "copy outside the old range");
    out_.insert(out_.end(), new_.begin() + pos, new_.begin() + copy.newPos);
    for (std::uint32_t done = 0; done < copy.length;) {
      const std::uint32_t length = std::min(kMaxCopyLength, copy.length - done);
      record(length, copy.oldPos + done - oldPos_ + 1, copy.newPos + done - newPos_ + 1);
      done += length;
    }
    pos = copy.newPos + copy.length;
  }
  if (pos < newEnd) {
    out_.insert(out_.end(), new_.begin() + pos, new_.begin() + newEnd);
    record(0, 1, newLength + 1);
  }
  const std::size_t insertedLength = out_.size() - insertedAt;
  Require(insertedLength <= kMaxBlockLength && table_.size() <= kMaxBlockLength, "delta block parts too long");

  std::uint8_t* header = out_.data() + insertedAt - 21;
  StoreU32LE(header, oldLength);
  header[4] = kDeltaType;
  StoreU32LE(header + 5, CRC32Checksum(new_.data() + newPos_, newLength));
  StoreU32LE(header + 9, CRC32Checksum(old_.data() + oldPos_, oldLength));
  StoreU32LE(header + 13, static_cast<std::uint32_t>(insertedLength));
  StoreU32LE(header + 17, static_cast<std::uint32_t>(table_.size()));
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

std::array<std::uint8_t, PatchWriter::kPaddingHeaderSize> PatchWriter::PaddingHeader(std::uint32_t length) {
  // Old length 0, a delta block whose checksums are those of nothing (0),
  // `length` inserted bytes and no copy table.
  std::array<std::uint8_t, kPaddingHeaderSize> header{};
  header[4] = kDeltaType;
  StoreU32LE(header.data() + 13, length);
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
  PutU32(0);
  out_.push_back(kLiteralType);
  PutU32(0);
  return std::move(out_);
}

}  // namespace bzip2arc::patch
