#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Blowfish.h"
#include "archive/Error.h"
#include "archive/XorBytes.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;

namespace {

using Block = std::array<std::uint8_t, 8>;

Bytes FromHex(std::string_view hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

Block BlockFromHex(std::string_view hex) {
  const Bytes bytes = FromHex(hex);
  Block block{};
  std::memcpy(block.data(), bytes.data(), block.size());
  return block;
}

BlowfishContext Keyed(const Bytes& key, const std::uint8_t* vector = nullptr) {
  BlowfishContext context;
  BlowfishInit(context, key.data(), static_cast<std::int32_t>(key.size()), vector);
  return context;
}

std::string InitMessage(const Bytes& key, std::int32_t length) {
  BlowfishContext context;
  try {
    BlowfishInit(context, key.data(), length, nullptr);
  } catch (const EArchiveError& error) {
    return error.Message();
  }
  return "";
}

bool SameSchedule(const BlowfishContext& a, const BlowfishContext& b) {
  return std::memcmp(a.P, b.P, sizeof a.P) == 0 && std::memcmp(a.S, b.S, sizeof a.S) == 0;
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Published Blowfish test vectors (key, plaintext, ciphertext), bytes in the
// cipher's big-endian block order.
constexpr Vector kPublished[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
};

const Bytes kSevenByteKey = {0x6E, 0x14, 0xB2, 0x3C, 0x85, 0xD9, 0x27};
const std::uint8_t kVector[8] = {0x9C, 0x41, 0xE7, 0x2B, 0x05, 0xD8, 0x6A, 0xF3};

}  // namespace

// --- The block cipher ------------------------------------------------------

TEST(BlowfishBlock, EnciphersPublishedVectors) {
  for (const Vector& v : kPublished) {
    SCOPED_TRACE(v.key);
    const BlowfishContext context = Keyed(FromHex(v.key));
    const Block plain = BlockFromHex(v.plain);
    Block out{};
    BlowfishEncipherBlock(context, plain.data(), out.data());
    EXPECT_EQ(out, BlockFromHex(v.cipher));
  }
}

TEST(BlowfishBlock, DeciphersPublishedVectors) {
  for (const Vector& v : kPublished) {
    SCOPED_TRACE(v.key);
    const BlowfishContext context = Keyed(FromHex(v.key));
    const Block cipher = BlockFromHex(v.cipher);
    Block out{};
    BlowfishDecipherBlock(context, cipher.data(), out.data());
    EXPECT_EQ(out, BlockFromHex(v.plain));
  }
}

TEST(BlowfishBlock, KeysThatAreNotAMultipleOfFourMatchPublishedVectors) {
  const BlowfishContext alphabet = Keyed(testsupport::ToBytes("abcdefghijklmnopqrstuvwxyz"));
  Block out{};
  BlowfishEncipherBlock(alphabet, BlockFromHex("424C4F5746495348").data(), out.data());
  EXPECT_EQ(out, BlockFromHex("324ED0FEF413A203"));

  const BlowfishContext galt = Keyed(testsupport::ToBytes("Who is John Galt?"));  // 17 bytes
  BlowfishEncipherBlock(galt, BlockFromHex("FEDCBA9876543210").data(), out.data());
  EXPECT_EQ(out, BlockFromHex("CC91732B8022F684"));
}

TEST(BlowfishBlock, InputAndOutputMayBeTheSameBytes) {
  const BlowfishContext context = Keyed(FromHex("FEDCBA9876543210"));
  Block block = BlockFromHex("0123456789ABCDEF");
  BlowfishEncipherBlock(context, block.data(), block.data());
  EXPECT_EQ(block, BlockFromHex("0ACEAB0FC6A0A28D"));
  BlowfishDecipherBlock(context, block.data(), block.data());
  EXPECT_EQ(block, BlockFromHex("0123456789ABCDEF"));
}

TEST(BlowfishBlock, DecipherUndoesEncipherForManyBlocks) {
  const BlowfishContext context = Keyed(kSevenByteKey);
  const Bytes data = testsupport::PseudoRandomBytes(8 * 200, 7);
  for (std::size_t at = 0; at < data.size(); at += 8) {
    Block cipher{};
    Block back{};
    BlowfishEncipherBlock(context, data.data() + at, cipher.data());
    BlowfishDecipherBlock(context, cipher.data(), back.data());
    ASSERT_EQ(0, std::memcmp(back.data(), data.data() + at, 8)) << "block at " << at;
  }
}

// --- Set-up ------------------------------------------------------------------

TEST(BlowfishSetup, AcceptsKeysOfOneTo56Bytes) {
  const Bytes key = testsupport::PseudoRandomBytes(57, 3);
  EXPECT_EQ(InitMessage(key, 1), "");
  EXPECT_EQ(InitMessage(key, 56), "");
}

TEST(BlowfishSetup, RejectsEmptyAndOverlongKeysWithTheCipherMessage) {
  const Bytes key = testsupport::PseudoRandomBytes(57, 3);
  const std::string message = "Blowfish: Key must be between 1 and 56 bytes long";
  EXPECT_EQ(InitMessage(key, 57), message);
  EXPECT_EQ(InitMessage(key, 0), message);
  EXPECT_EQ(InitMessage(key, -1), message);
  BlowfishContext context;
  EXPECT_THROW(BlowfishInit(context, key.data(), 57, nullptr), EArchiveError);
}

TEST(BlowfishSetup, ShortKeyIsUsedCyclicallyAcrossWordBoundaries) {
  // With 7 bytes, P1 takes key bytes 4, 5, 6, 0 and the words run on through
  // the key; the same bytes written out eight times (56 = 8 x 7) therefore
  // give exactly the same schedule, and so does the key written out twice.
  Bytes repeated;
  for (int i = 0; i < 8; ++i) repeated.insert(repeated.end(), kSevenByteKey.begin(), kSevenByteKey.end());
  const Bytes doubled(repeated.begin(), repeated.begin() + 14);
  const BlowfishContext seven = Keyed(kSevenByteKey);
  EXPECT_TRUE(SameSchedule(seven, Keyed(repeated)));
  EXPECT_TRUE(SameSchedule(seven, Keyed(doubled)));

  // Padding with zeros or restarting the key for each word would not match.
  Bytes padded = kSevenByteKey;
  padded.push_back(0);
  EXPECT_FALSE(SameSchedule(seven, Keyed(padded)));
  const Bytes firstFour(kSevenByteKey.begin(), kSevenByteKey.begin() + 4);
  EXPECT_FALSE(SameSchedule(seven, Keyed(firstFour)));
}

TEST(BlowfishSetup, LoadsTheVectorIntoBothFieldsOrZeros) {
  const BlowfishContext withVector = Keyed(kSevenByteKey, kVector);
  EXPECT_EQ(0, std::memcmp(withVector.InitialVector, kVector, 8));
  EXPECT_EQ(0, std::memcmp(withVector.Chain, kVector, 8));

  BlowfishContext without;
  std::memset(&without, 0xA5, sizeof without);
  BlowfishInit(without, kSevenByteKey.data(), 7, nullptr);
  const std::uint8_t zeros[8] = {};
  EXPECT_EQ(0, std::memcmp(without.InitialVector, zeros, 8));
  EXPECT_EQ(0, std::memcmp(without.Chain, zeros, 8));
}

TEST(BlowfishSetup, SameKeyAndVectorAlwaysGiveTheSameContext) {
  const BlowfishContext a = Keyed(kSevenByteKey, kVector);
  const BlowfishContext b = Keyed(kSevenByteKey, kVector);
  EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
}

// --- CBC and buffers --------------------------------------------------------------

TEST(BlowfishCBC, EncipherChainsBlocksFromTheVector) {
  BlowfishContext context = Keyed(kSevenByteKey, kVector);
  Bytes data(24, 0x42);  // three equal plaintext blocks
  EncipherBuffer(context, data.data(), static_cast<std::int32_t>(data.size()));

  const BlowfishContext plain = Keyed(kSevenByteKey);
  Block first{};
  Block mixed{};
  XorBytes(Bytes(8, 0x42).data(), kVector, mixed.data(), 8);
  BlowfishEncipherBlock(plain, mixed.data(), first.data());
  EXPECT_EQ(0, std::memcmp(data.data(), first.data(), 8));
  EXPECT_NE(0, std::memcmp(data.data(), data.data() + 8, 8));
  EXPECT_NE(0, std::memcmp(data.data() + 8, data.data() + 16, 8));
  EXPECT_EQ(0, std::memcmp(context.Chain, data.data() + 16, 8));
  EXPECT_EQ(0, std::memcmp(context.InitialVector, kVector, 8));
}

TEST(BlowfishCBC, DecipherUndoesEncipherOverOneChain) {
  const Bytes original = testsupport::PseudoRandomBytes(8 * 50, 11);
  Bytes data = original;
  BlowfishContext writer = Keyed(kSevenByteKey, kVector);
  EncipherBuffer(writer, data.data(), static_cast<std::int32_t>(data.size()));
  ASSERT_NE(data, original);

  BlowfishContext reader = Keyed(kSevenByteKey, kVector);
  for (std::size_t at = 0; at < data.size(); at += 8) BlowfishDecipherCBC(reader, data.data() + at, data.data() + at);
  EXPECT_EQ(data, original);
}

TEST(BlowfishCBC, TwentyByteBufferChangesOnlyItsTwoWholeBlocks) {
  const Bytes original = testsupport::PseudoRandomBytes(20, 5);
  Bytes data = original;
  BlowfishContext context = Keyed(kSevenByteKey, kVector);
  DecipherBuffer(context, data.data(), 20);

  Bytes expected = original;
  BlowfishContext stepwise = Keyed(kSevenByteKey, kVector);
  BlowfishDecipherCBC(stepwise, expected.data(), expected.data());
  BlowfishDecipherCBC(stepwise, expected.data() + 8, expected.data() + 8);
  EXPECT_EQ(data, expected);
  EXPECT_TRUE(std::equal(data.begin() + 16, data.end(), original.begin() + 16));
  EXPECT_EQ(0, std::memcmp(context.Chain, original.data() + 8, 8));
}

TEST(BlowfishCBC, BuffersShorterThanABlockAreLeftAloneAndKeepTheChain) {
  BlowfishContext context = Keyed(kSevenByteKey, kVector);
  for (std::int32_t length = 0; length < 8; ++length) {
    Bytes data(7, 0x5A);
    DecipherBuffer(context, data.data(), length);
    EXPECT_EQ(data, Bytes(7, 0x5A));
  }
  EXPECT_EQ(0, std::memcmp(context.Chain, kVector, 8));
}

TEST(BlowfishCBC, ChainRunsAcrossRecordsAndAFreshChainSpoilsOnlyTheFirstBlock) {
  constexpr std::size_t kRecord = 104;
  const Bytes original = testsupport::PseudoRandomBytes(2 * kRecord, 9);
  Bytes cipher = original;
  BlowfishContext writer = Keyed(kSevenByteKey, kVector);
  EncipherBuffer(writer, cipher.data(), static_cast<std::int32_t>(cipher.size()));

  Bytes chained = cipher;
  BlowfishContext reader = Keyed(kSevenByteKey, kVector);
  DecipherBuffer(reader, chained.data(), kRecord);
  DecipherBuffer(reader, chained.data() + kRecord, kRecord);
  EXPECT_EQ(chained, original);

  Bytes fresh(cipher.begin() + kRecord, cipher.end());
  BlowfishContext freshReader = Keyed(kSevenByteKey, kVector);
  DecipherBuffer(freshReader, fresh.data(), kRecord);
  EXPECT_NE(0, std::memcmp(fresh.data(), original.data() + kRecord, 8));
  EXPECT_EQ(0, std::memcmp(fresh.data() + 8, original.data() + kRecord + 8, kRecord - 8));
}

TEST(BlowfishCBC, WipeZeroesTheWholeContext) {
  BlowfishContext context = Keyed(kSevenByteKey, kVector);
  Bytes data(16, 1);
  DecipherBuffer(context, data.data(), 16);
  BlowfishWipe(context);
  const std::vector<std::uint8_t> zeros(sizeof context, 0);
  EXPECT_EQ(0, std::memcmp(&context, zeros.data(), sizeof context));
}

TEST(XorBytes, CombinesByteWiseAndMayWriteOverAnInput) {
  std::uint8_t a[5] = {0x00, 0xFF, 0x0F, 0xA5, 0x12};
  const std::uint8_t b[5] = {0xFF, 0xFF, 0xF0, 0x5A, 0x34};
  std::uint8_t out[5] = {};
  XorBytes(a, b, out, 4);
  const std::uint8_t expected[5] = {0xFF, 0x00, 0xFF, 0xFF, 0x00};
  EXPECT_EQ(0, std::memcmp(out, expected, 5));  // the fifth byte is left alone
  XorBytes(a, b, a, 5);
  const std::uint8_t inPlace[5] = {0xFF, 0x00, 0xFF, 0xFF, 0x26};
  EXPECT_EQ(0, std::memcmp(a, inPlace, 5));
}
