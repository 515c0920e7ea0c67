// Joins blocks compressed on their own into one bzip2 stream: the header,
// each block's bits where the one before ends, and an end marker with the
// combined CRC.
#pragma once

#include <cstdint>
#include <vector>

#include "BitWriter.h"

namespace bzip2arc::bzip2 {

struct CompressedBlock;

class BlockJoiner {
 public:
  explicit BlockJoiner(int blockSize100k) : level_(static_cast<char>('0' + blockSize100k)) {}

  // The block whose magic starts at bit `first` of `bytes` and whose bits end
  // before bit `end`.
  void Add(const std::uint8_t* bytes, std::int64_t first, std::int64_t end, std::uint32_t crc);
  void Add(const CompressedBlock& block);
  // Ends the stream; the next Add begins another.
  void End();
  // The bytes of the streams complete so far; a partial last byte stays.
  std::vector<std::uint8_t> TakeWholeBytes() { return joined_.TakeWholeBytes(); }

 private:
  void Begin();

  const char level_;
  BitWriter joined_;
  bool begun_ = false;
  std::uint32_t combined_ = 0;
};

}  // namespace bzip2arc::bzip2
