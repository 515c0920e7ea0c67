#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/core/ArchiveFormat.h"
#include "archive/core/Blowfish.h"
#include "archive/core/DirectoryKey.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;

namespace {

Bytes FromHex(std::string_view hex) {
  Bytes bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    bytes.push_back(std::uint8_t(std::stoul(std::string(hex.substr(i, 2)), nullptr, 16)));
  return bytes;
}

const Bytes kKey(kDirectoryKey, kDirectoryKey + sizeof kDirectoryKey - 1);  // 7 bytes

BlowfishContext Keyed(const Bytes& key = kKey) {
  BlowfishContext context;
  BlowfishInit(context, key.data(), static_cast<std::int32_t>(key.size()), kDirectoryVector);
  return context;
}

}  // namespace

TEST(Blowfish, PublishedVectorsBothWaysInPlace) {
  // Key, plaintext, ciphertext; the last two keys are not a multiple of 4 bytes
  // long, so they are used cyclically across the words of the schedule.
  const char* const kVectors[][3] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"6162636465666768696A6B6C6D6E6F707172737475767778797A", "424C4F5746495348", "324ED0FEF413A203"},
      {"57686F206973204A6F686E2047616C743F", "FEDCBA9876543210", "CC91732B8022F684"},
  };
  for (const auto& [key, plain, cipher] : kVectors) {
    const BlowfishContext context = Keyed(FromHex(key));
    Bytes block = FromHex(plain);
    BlowfishEncipherBlock(context, block.data(), block.data());
    EXPECT_EQ(block, FromHex(cipher)) << key;
    BlowfishDecipherBlock(context, block.data(), block.data());
    EXPECT_EQ(block, FromHex(plain)) << key;
  }
  // Shorter and longer keys fail with their message in BadInput.
  EXPECT_NO_THROW(Keyed(Bytes(56, 'k')));
}

// P1 takes key bytes 4, 5, 6, 0 of the directory key: written out eight
// times it gives the same schedule (zero padding or restarting per word would not).
TEST(Blowfish, TheSevenByteKeyIsUsedCyclicallyAcrossWords) {
  Bytes repeated;
  for (int i = 0; i < 8; ++i) repeated.insert(repeated.end(), kKey.begin(), kKey.end());
  const BlowfishContext seven = Keyed(), fiftySix = Keyed(repeated);
  EXPECT_EQ(0, std::memcmp(&seven, &fiftySix, sizeof seven));
}

// With a zero chain, CBC enciphers the first block as the plain cipher does.
TEST(Blowfish, NoVectorIsAZeroVector) {
  const Bytes key = FromHex("FEDCBA9876543210"), plain = FromHex("0123456789ABCDEF");
  BlowfishContext context;
  BlowfishInit(context, key.data(), static_cast<std::int32_t>(key.size()), nullptr);
  Bytes block = plain;
  EncipherBuffer(context, block.data(), 8);
  EXPECT_EQ(block, FromHex("0ACEAB0FC6A0A28D"));
}

TEST(Blowfish, OneChainAcrossRecordsDiffersFromFreshChainsInTheFirstBlockOnly) {
  constexpr std::int32_t kRecord = kDirectoryRecordSize;
  const Bytes original = testsupport::PseudoRandomBytes(2 * kRecord, 9);
  Bytes cipher = original;
  BlowfishContext writer = Keyed(), reader = Keyed(), fresh = Keyed(), twenty = Keyed();
  EncipherBuffer(writer, cipher.data(), 2 * kRecord);

  Bytes chained = cipher, second(cipher.begin() + kRecord, cipher.end()), first20(cipher.begin(), cipher.begin() + 20);
  DecipherBuffer(reader, chained.data(), kRecord);
  DecipherBuffer(reader, chained.data() + kRecord, kRecord);
  EXPECT_EQ(chained, original);
  DecipherBuffer(fresh, second.data(), kRecord);
  EXPECT_NE(0, std::memcmp(second.data(), &original[kRecord], 8));
  EXPECT_EQ(0, std::memcmp(second.data() + 8, &original[kRecord + 8], kRecord - 8));
  // A 20-byte buffer: two whole blocks deciphered, bytes 16-19 left as they are.
  DecipherBuffer(twenty, first20.data(), 20);
  EXPECT_EQ(0, std::memcmp(first20.data(), original.data(), 16));
  EXPECT_EQ(0, std::memcmp(first20.data() + 16, &cipher[16], 4));
}
