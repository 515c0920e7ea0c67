// Where libbz2 ends its blocks in a stream: it gathers up to 899,981 bytes
// after its first run-length stage per block (level 9) and compresses each
// block on its own, so content of one kind compresses best when a block holds
// nothing else. The tracker follows that stage byte by byte, exactly as
// libbz2 does, to tell how much a block can still take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace bzip2arc::patch {

class CompressorBlockTracker {
 public:
  // Block capacity of bzip2 level 9 after run-length coding.
  static constexpr std::int64_t kCapacity = 100000 * 9 - 19;

  void Add(std::span<const std::uint8_t> bytes);

  // Like Add, and returns the offsets in `bytes` where blocks start (the
  // pending run that ends a block goes on into the next one).
  std::vector<std::size_t> AddAndFindStarts(std::span<const std::uint8_t> bytes);

  // Blocks ended so far.
  std::int64_t BlocksEnded() const { return blocksEnded_; }

  // How many more bytes that continue no run (each differing from the one
  // before it and from the pending run's byte) end the current block right
  // after the last of them, so that the next byte starts a new block.
  std::int64_t BytesToFill() const;

 private:
  std::int64_t filled_ = 0;     // run-length coded bytes in the current block
  int runByte_ = 256;           // byte of the pending run (256: none yet)
  int runLength_ = 0;
  std::int64_t blocksEnded_ = 0;
  std::size_t runStart_ = 0;  // offset of the pending run in the bytes added last
};

}  // namespace bzip2arc::patch
