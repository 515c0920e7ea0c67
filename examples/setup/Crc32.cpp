#include "Crc32.h"

#include <array>

namespace sample {

namespace {

std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[i] = value;
  }
  return table;
}

}  // namespace

void Crc32::Update(const void* data, std::size_t length) {
  static const std::array<std::uint32_t, 256> table = MakeTable();
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < length; ++i) state_ = table[(state_ ^ bytes[i]) & 0xFF] ^ (state_ >> 8);
}

}  // namespace sample
