#include <gtest/gtest.h>

#include <random>

#include "archive/core/CRC32.h"
#include "support/TempFolder.h"

using namespace bzip2arc;

TEST(CRC32, CheckValueAndEmptyInput) {
  EXPECT_EQ(CRC32Checksum("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(CRC32Checksum(nullptr, 0), 0u);
}

TEST(CRC32, FastPathEqualsTheBitwiseDefinitionAndUpdateComposes) {
  const testsupport::Bytes data = testsupport::PseudoRandomBytes(5000, 8);
  std::mt19937 random(99);
  for (int trial = 0; trial < 500; ++trial) {
    const std::size_t offset = random() % 16, length = random() % 3000, split = random() % (length + 1);
    const std::uint8_t* p = data.data() + offset;
    std::uint32_t bitwise = 0xFFFFFFFF;
    for (std::size_t i = 0; i < length; ++i) {
      bitwise ^= p[i];
      for (int bit = 0; bit < 8; ++bit) bitwise = (bitwise & 1) ? (bitwise >> 1) ^ 0xEDB88320u : bitwise >> 1;
    }
    ASSERT_EQ(CRC32Checksum(p, length), ~bitwise) << offset << "+" << length;
    ASSERT_EQ(~CRC32Update(p + split, length - split, CRC32Update(p, split, 0xFFFFFFFF)), ~bitwise);
  }
}
