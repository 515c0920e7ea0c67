// Decodes one block of a bzip2 stream on its own, through libbz2: the
// block's bits, moved to a byte boundary, become a stream of their own with
// the header of the whole stream and an end marker that gives the block's CRC
// as the combined CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bzip2arc::bzip2 {

struct DecodedBlock {
  // The bits decode as one block that ends exactly at the end given, and its
  // CRC holds; then a decoder of the whole stream, having reached the start,
  // delivers Content without a failure and finds the next magic at the end.
  bool Accepted = false;
  std::unique_ptr<std::uint8_t[]> Content;
  std::size_t Size = 0;   // of Content
  std::uint32_t Crc = 0;  // as stored after the block magic
};

// The block whose magic starts at bit `first` of `bytes` and that ends where
// the next magic starts, at bit `end`. `level` is the stream header's digit
// ('1' to '9'), which bounds the block size.
DecodedBlock DecodeBlock(char level, const std::uint8_t* bytes, std::int64_t first, std::int64_t end);

}  // namespace bzip2arc::bzip2
