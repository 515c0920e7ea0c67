// Builds a byte sequence bit by bit, most significant bit first, as bzip2
// streams are laid out: the way blocks that start at any bit offset are moved
// into streams of their own and joined again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bzip2arc::bzip2 {

// The bit at `bit` (counted from the most significant bit of bytes[0]) and
// the `count` bits from there as a number; count is at most 57.
std::uint64_t ReadBits(const std::uint8_t* bytes, std::int64_t bit, int count);

class BitWriter {
 public:
  // The low `count` bits of `value` (count at most 57).
  void Append(std::uint64_t value, int count);
  // `count` bits of `bytes` from bit `first` on.
  void AppendBits(const std::uint8_t* bytes, std::int64_t first, std::int64_t count);
  // Zero bits up to the next whole byte.
  void PadToByte();

  // Hands over the whole bytes written so far and keeps a partial last byte.
  std::vector<std::uint8_t> TakeWholeBytes();

 private:
  std::vector<std::uint8_t> bytes_;
  int used_ = 8;  // bits used in the last byte (8: it is full, or there is none)
};

}  // namespace bzip2arc::bzip2
