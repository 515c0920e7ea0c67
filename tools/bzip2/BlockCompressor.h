// Compresses the content of one block of a bzip2 stream through libbz2: the
// content is handed over as it is read, and compressed on its own it gives
// the block's very bits in the stream that libbz2 would write for the whole.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace bzip2arc::bzip2 {

struct CompressedBlock {
  std::vector<std::uint8_t> Stream;  // a stream of this block alone
  std::int64_t FirstBit = 0;         // of the block (its magic) in Stream
  std::int64_t EndBit = 0;           // where the end marker starts
  std::uint32_t Crc = 0;
};

class BlockCompressor {
 public:
  // Takes about 7.5 MB at level 9 until it is destroyed.
  explicit BlockCompressor(int blockSize100k);
  ~BlockCompressor();
  BlockCompressor(const BlockCompressor&) = delete;
  BlockCompressor& operator=(const BlockCompressor&) = delete;

  // Content that continues the block. The block must not outgrow libbz2's
  // (CompressorBlockTracker tells where it ends).
  void Add(std::span<const std::uint8_t> content);
  std::int64_t ContentSize() const { return added_; }
  // Compresses what was added; at least one byte must have been.
  CompressedBlock Finish();

 private:
  struct Library;
  std::unique_ptr<Library> library_;
  std::int64_t added_ = 0;
};

}  // namespace bzip2arc::bzip2
