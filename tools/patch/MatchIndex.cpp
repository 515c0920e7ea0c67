#include "MatchIndex.h"

#include <bit>
#include <cstring>

namespace bzip2arc::patch {
namespace {

std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

}  // namespace

MatchIndex::MatchIndex(std::span<const std::uint8_t> oldData) {
  // About one bucket per position, between 4 Ki and 16 Mi buckets.
  unsigned bits = 12;
  while (bits < 24 && (std::size_t{1} << bits) < oldData.size()) ++bits;
  shift_ = 64 - bits;
  head_.assign(std::size_t{1} << bits, kNone);
  if (oldData.size() < kKeyLength) return;
  const std::size_t count = oldData.size() - kKeyLength + 1;
  previous_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t& head = head_[Hash(oldData.data() + i)];
    previous_[i] = head;
    head = static_cast<std::uint32_t>(i);
  }
}

std::uint32_t MatchIndex::Hash(const std::uint8_t* key) const {
  return static_cast<std::uint32_t>((Load64(key) * 0x9E3779B97F4A7C15ull) >> shift_);
}

std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t limit) {
  std::uint32_t n = 0;
  while (limit - n >= 8) {
    const std::uint64_t difference = Load64(a + n) ^ Load64(b + n);
    if (difference != 0) {
      const int bits = std::endian::native == std::endian::little ? std::countr_zero(difference)
                                                                 : std::countl_zero(difference);
      return n + static_cast<std::uint32_t>(bits / 8);
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

}  // namespace bzip2arc::patch
