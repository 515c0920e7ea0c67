// The bit layout of a bzip2 stream as far as the block tools take it apart:
// "BZh" and the level digit, then blocks that each begin with a 48-bit magic
// and their 32-bit CRC at any bit offset, then a 48-bit end-of-stream magic,
// the 32-bit combined CRC and zero bits up to a whole byte. Bits run from the
// most significant bit of each byte.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace bzip2arc::bzip2 {

constexpr std::uint64_t kBlockMagic = 0x314159265359;
constexpr std::uint64_t kEndOfStreamMagic = 0x177245385090;
constexpr int kMagicBits = 48;
constexpr int kCrcBits = 32;
constexpr int kHeaderBytes = 4;  // "BZh" and the level digit '1' to '9'
constexpr std::int64_t kHeaderBits = 8 * kHeaderBytes;

// The combined CRC after one more block.
constexpr std::uint32_t CombineCrc(std::uint32_t combined, std::uint32_t blockCrc) {
  return (combined << 1 | combined >> 31) ^ blockCrc;
}

// Whether the first `bits` bits of `second` equal those of `first` from bit
// `shift` on, as when `second` starts `shift` bits after `first`.
constexpr bool Overlaps(std::uint64_t first, std::uint64_t second, int shift, int bits) {
  const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
  return (first >> (kMagicBits - shift - bits) & mask) == (second >> (kMagicBits - bits) & mask);
}

// No two magics start less than a byte apart, not even where the later one is
// cut short to its first five whole bytes: a decoder that knows a block to
// end within some byte finds at most one magic there, and a block end that
// falls short of a magic by less than a byte cannot read as one.
constexpr bool MagicsStayAByteApart() {
  for (const std::uint64_t first : {kBlockMagic, kEndOfStreamMagic})
    for (const std::uint64_t second : {kBlockMagic, kEndOfStreamMagic})
      for (int shift = 1; shift < 8; ++shift)
        if (Overlaps(first, second, shift, 40)) return false;
  return true;
}
static_assert(MagicsStayAByteApart());

}  // namespace bzip2arc::bzip2
