// Where libbz2 ends its blocks in a stream: it gathers up to 100,000 x level
// - 19 bytes after its first run-length stage per block (899,981 at level 9)
// and compresses each block on its own, so content of one kind compresses
// best when a block holds nothing else, and a block compressed alone gives
// the very bits it gets inside the whole stream. The tracker follows that
// stage byte by byte, exactly as libbz2 does, to tell where blocks start and
// how much a block can still take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace bzip2arc {

class CompressorBlockTracker {
 public:
  explicit CompressorBlockTracker(int blockSize100k = 9) : capacity_(std::int64_t{100000} * blockSize100k - 19) {}

  void Add(std::span<const std::uint8_t> bytes);

  // Like Add, and returns where blocks start, counted in bytes from the first
  // byte the tracker took (the pending run that ends a block goes on into the
  // next one, so a start can lie in bytes added before).
  std::vector<std::size_t> AddAndFindStarts(std::span<const std::uint8_t> bytes);

  // Where the pending run started: a block that ends now ends before it.
  std::size_t PendingRunStart() const { return runByte_ < 256 ? runStart_ : added_; }

  // Blocks ended so far.
  std::int64_t BlocksEnded() const { return blocksEnded_; }

  // How many more bytes that continue no run (each differing from the one
  // before it and from the pending run's byte) end the current block right
  // after the last of them, so that the next byte starts a new block.
  std::int64_t BytesToFill() const;

 private:
  std::int64_t capacity_;       // run-length coded bytes a block takes
  std::int64_t filled_ = 0;     // run-length coded bytes in the current block
  int runByte_ = 256;           // byte of the pending run (256: none yet)
  int runLength_ = 0;
  std::int64_t blocksEnded_ = 0;
  std::size_t added_ = 0;     // bytes taken so far
  std::size_t runStart_ = 0;  // where the pending run started
};

}  // namespace bzip2arc
