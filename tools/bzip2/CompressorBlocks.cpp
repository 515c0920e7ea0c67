#include "CompressorBlocks.h"

namespace bzip2arc {
namespace {

// Bytes a finished run occupies after run-length coding: up to three as
// they are, four or more as four plus a count.
int CodedRunLength(int length) { return length < 4 ? length : 5; }

}  // namespace

void CompressorBlockTracker::Add(std::span<const std::uint8_t> bytes) { AddAndFindStarts(bytes); }

std::vector<std::size_t> CompressorBlockTracker::AddAndFindStarts(std::span<const std::uint8_t> bytes) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t byte = bytes[i];
    const std::size_t at = added_ + i;
    // libbz2 checks for a full block before taking each byte; the pending
    // run then moves on into the next block.
    if (filled_ >= capacity_) {
      filled_ = 0;
      ++blocksEnded_;
      starts.push_back(runByte_ < 256 ? runStart_ : at);
    }
    if (byte != runByte_ && runLength_ == 1) {
      filled_ += 1;
      runByte_ = byte;
      runStart_ = at;
    } else if (byte != runByte_ || runLength_ == 255) {
      if (runByte_ < 256) filled_ += CodedRunLength(runLength_);
      runByte_ = byte;
      runLength_ = 1;
      runStart_ = at;
    } else {
      ++runLength_;
    }
  }
  added_ += bytes.size();
  return starts;
}

std::int64_t CompressorBlockTracker::BytesToFill() const {
  // The first further byte flushes the pending run; each byte after that
  // flushes its predecessor. After n bytes the block holds
  // filled_ + coded(pending run) + (n - 1); the next byte finds it full when
  // that reaches the capacity.
  const std::int64_t pending = runByte_ < 256 ? CodedRunLength(runLength_) : 0;
  const std::int64_t afterFirst = filled_ + pending;
  if (filled_ >= capacity_) return 0;
  if (afterFirst >= capacity_) return 1;
  return capacity_ - afterFirst + 1;
}

}  // namespace bzip2arc
