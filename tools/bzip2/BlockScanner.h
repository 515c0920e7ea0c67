// Finds where blocks may start in a bzip2 stream: every block magic and
// end-of-stream magic at any bit offset. A match inside block data is
// possible; the decoder tells true starts from false ones.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace bzip2arc::bzip2 {

struct BlockMark {
  std::int64_t Bit = 0;  // of the magic's first bit, from the first byte scanned
  bool EndOfStream = false;
};

class BlockScanner {
 public:
  // Looks through `bytes`, which follow the bytes scanned before, and appends
  // the magics whose last bit is in them to `marks`, in stream order.
  void Scan(std::span<const std::uint8_t> bytes, std::vector<BlockMark>& marks);

  std::int64_t BytesScanned() const { return scanned_; }

 private:
  std::uint64_t window_ = 0;  // the last eight bytes, the latest lowest
  std::int64_t scanned_ = 0;
};

}  // namespace bzip2arc::bzip2
