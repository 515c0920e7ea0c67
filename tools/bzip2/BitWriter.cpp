#include "BitWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace bzip2arc::bzip2 {

namespace {

std::uint64_t LoadBigEndian(const std::uint8_t* bytes) {
  std::uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
  return value;
}

void StoreBigEndian(std::uint8_t* bytes, std::uint64_t value) {
  if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
  std::memcpy(bytes, &value, sizeof value);
}

}  // namespace

std::uint64_t ReadBits(const std::uint8_t* bytes, std::int64_t bit, int count) {
  const std::int64_t first = bit / 8;
  const std::int64_t last = (bit + count - 1) / 8;
  std::uint64_t value = 0;
  for (std::int64_t i = first; i <= last; ++i) value = value << 8 | bytes[i];
  const int beyond = static_cast<int>(8 * (last + 1) - (bit + count));
  return value >> beyond & ((std::uint64_t{1} << count) - 1);
}

void BitWriter::Append(std::uint64_t value, int count) {
  while (count > 0) {
    if (used_ == 8) {
      bytes_.push_back(0);
      used_ = 0;
    }
    const int take = std::min(8 - used_, count);
    const auto bits = static_cast<std::uint8_t>(value >> (count - take) & ((1u << take) - 1));
    bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | bits << (8 - used_ - take));
    used_ += take;
    count -= take;
  }
}

void BitWriter::AppendBits(const std::uint8_t* bytes, std::int64_t first, std::int64_t count) {
  if (used_ != 8 && count > 0) {
    const int take = static_cast<int>(std::min<std::int64_t>(8 - used_, count));
    Append(ReadBits(bytes, first, take), take);
    first += take;
    count -= take;
  }
  // Byte-aligned from here.
  const std::size_t whole = static_cast<std::size_t>(count / 8);
  const std::uint8_t* source = bytes + first / 8;
  const int shift = static_cast<int>(first % 8);
  const std::size_t at = bytes_.size();
  bytes_.resize(at + whole);
  std::uint8_t* out = bytes_.data() + at;
  if (shift == 0) {
    if (whole > 0) std::memcpy(out, source, whole);
  } else {
    // Eight bytes a step; the source has one byte more than `whole` here.
    std::size_t i = 0;
    for (; i + 8 <= whole; i += 8)
      StoreBigEndian(out + i, LoadBigEndian(source + i) << shift | source[i + 8] >> (8 - shift));
    for (; i < whole; ++i) out[i] = static_cast<std::uint8_t>(source[i] << shift | source[i + 1] >> (8 - shift));
  }
  const int rest = static_cast<int>(count % 8);
  if (rest > 0) Append(ReadBits(bytes, first + 8 * static_cast<std::int64_t>(whole), rest), rest);
}

void BitWriter::PadToByte() { used_ = 8; }

std::vector<std::uint8_t> BitWriter::TakeWholeBytes() {
  std::vector<std::uint8_t> whole;
  if (used_ == 8) {
    whole.swap(bytes_);
  } else {
    const std::uint8_t partial = bytes_.back();
    bytes_.pop_back();
    whole.swap(bytes_);
    bytes_.push_back(partial);
  }
  return whole;
}

}  // namespace bzip2arc::bzip2
