#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string_view>

#include "archive/CRC32.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;

namespace {

// Bit by bit from the definition: reflected polynomial, LSB first.
std::uint32_t BitwiseCRC32(const std::uint8_t* data, std::size_t length) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

std::uint32_t Checksum(std::string_view text) { return CRC32Checksum(text.data(), text.size()); }

}  // namespace

TEST(CRC32, MatchesThePublishedCheckValue) {
  EXPECT_EQ(Checksum("123456789"), 0xCBF43926u);
  EXPECT_EQ(Checksum("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  EXPECT_EQ(Checksum("a"), 0xE8B7BE43u);
}

TEST(CRC32, ChecksumOfZeroBytesIsZero) {
  EXPECT_EQ(CRC32Checksum(nullptr, 0), 0u);
  const std::uint8_t byte = 0x55;
  EXPECT_EQ(CRC32Checksum(&byte, 0), 0u);
  EXPECT_EQ(CRC32Update(nullptr, 0, 0x12345678), 0x12345678u);
}

TEST(CRC32, UpdateIsTheChecksumWithoutInitialValueAndInversion) {
  const Bytes data = testsupport::PseudoRandomBytes(1000, 21);
  EXPECT_EQ(~CRC32Update(data.data(), data.size(), 0xFFFFFFFF), CRC32Checksum(data.data(), data.size()));
  // Zero bytes through a zero register stay zero: no initial value inside.
  const Bytes zeros(64, 0);
  EXPECT_EQ(CRC32Update(zeros.data(), zeros.size(), 0), 0u);
}

TEST(CRC32, UpdateComposesAcrossArbitrarySplits) {
  const Bytes data = testsupport::PseudoRandomBytes(5000, 4);
  const std::uint32_t whole = CRC32Checksum(data.data(), data.size());
  std::mt19937 generator(99);
  for (int trial = 0; trial < 200; ++trial) {
    std::uint32_t crc = 0xFFFFFFFF;
    std::size_t at = 0;
    while (at < data.size()) {
      // Mostly short pieces, empty ones included, now and then a long one.
      std::size_t piece = generator() % 20;
      if (generator() % 8 == 0) piece = generator() % 700;
      piece = std::min(piece, data.size() - at);
      crc = CRC32Update(data.data() + at, piece, crc);
      at += piece;
    }
    ASSERT_EQ(~crc, whole) << "trial " << trial;
  }
}

TEST(CRC32, FastPathEqualsTheBitwiseDefinitionAtEveryLengthAndAlignment) {
  const Bytes data = testsupport::PseudoRandomBytes(600, 8);
  for (std::size_t offset = 0; offset < 16; ++offset) {
    for (std::size_t length = 0; offset + length <= 300; ++length) {
      ASSERT_EQ(CRC32Checksum(data.data() + offset, length), BitwiseCRC32(data.data() + offset, length))
          << "offset " << offset << " length " << length;
    }
  }
}

TEST(CRC32, FastPathEqualsTheBitwiseDefinitionOnLargeAndUniformBuffers) {
  const Bytes random = testsupport::PseudoRandomBytes(1 << 20, 12);
  EXPECT_EQ(CRC32Checksum(random.data() + 3, random.size() - 3), BitwiseCRC32(random.data() + 3, random.size() - 3));
  for (std::uint8_t fill : {0x00, 0xFF, 0x80}) {
    const Bytes uniform(4099, fill);
    EXPECT_EQ(CRC32Checksum(uniform.data(), uniform.size()), BitwiseCRC32(uniform.data(), uniform.size()))
        << "fill " << int(fill);
  }
}
