#include "Blowfish.h"

#include <cstring>

#include "BlowfishTables.h"
#include "ByteOrder.h"
#include "Error.h"
#include "XorBytes.h"

namespace bzip2arc {

namespace {

constexpr std::int32_t kBlockSize = 8;
constexpr std::int32_t kMaxKeyLength = 56;
constexpr int kRounds = 16;

std::uint32_t F(const BlowfishContext& context, std::uint32_t x) {
  const std::uint32_t a = context.S[0][x >> 24];
  const std::uint32_t b = context.S[1][(x >> 16) & 0xFF];
  const std::uint32_t c = context.S[2][(x >> 8) & 0xFF];
  const std::uint32_t d = context.S[3][x & 0xFF];
  return ((a + b) ^ c) + d;
}

// Leaves the output halves in (left, right) order: left goes to bytes 0-3.
void EncipherHalves(const BlowfishContext& context, std::uint32_t& left, std::uint32_t& right) {
  std::uint32_t l = left ^ context.P[0];
  std::uint32_t r = right;
  for (int i = 1; i <= kRounds; i += 2) {
    r ^= F(context, l) ^ context.P[i];
    l ^= F(context, r) ^ context.P[i + 1];
  }
  left = r ^ context.P[kRounds + 1];
  right = l;
}

void DecipherHalves(const BlowfishContext& context, std::uint32_t& left, std::uint32_t& right) {
  std::uint32_t l = left ^ context.P[kRounds + 1];
  std::uint32_t r = right;
  for (int i = kRounds; i >= 1; i -= 2) {
    r ^= F(context, l) ^ context.P[i];
    l ^= F(context, r) ^ context.P[i - 1];
  }
  left = r ^ context.P[0];
  right = l;
}

}  // namespace

void BlowfishInit(BlowfishContext& context, const std::uint8_t* key, std::int32_t keyLength,
                  const std::uint8_t* vector) {
  if (keyLength < 1 || keyLength > kMaxKeyLength) throw EArchiveError("Blowfish: Key must be between 1 and 56 bytes long");

  std::memcpy(context.P, kBlowfishInitialP, sizeof context.P);
  std::memcpy(context.S, kBlowfishInitialS, sizeof context.S);
  if (vector != nullptr) {
    std::memcpy(context.InitialVector, vector, kBlockSize);
  } else {
    std::memset(context.InitialVector, 0, kBlockSize);
  }
  std::memcpy(context.Chain, context.InitialVector, kBlockSize);

  // The key is used cyclically, so short keys wrap inside a word.
  std::int32_t j = 0;
  for (std::uint32_t& p : context.P) {
    std::uint32_t word = 0;
    for (int k = 0; k < 4; ++k) {
      word = (word << 8) | key[j];
      j = (j + 1) % keyLength;
    }
    p ^= word;
  }

  std::uint32_t left = 0;
  std::uint32_t right = 0;
  for (int i = 0; i < 18; i += 2) {
    EncipherHalves(context, left, right);
    context.P[i] = left;
    context.P[i + 1] = right;
  }
  for (auto& box : context.S) {
    for (int i = 0; i < 256; i += 2) {
      EncipherHalves(context, left, right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

void BlowfishEncipherBlock(const BlowfishContext& context, const std::uint8_t* in, std::uint8_t* out) {
  std::uint32_t left = LoadU32BE(in);
  std::uint32_t right = LoadU32BE(in + 4);
  EncipherHalves(context, left, right);
  StoreU32BE(out, left);
  StoreU32BE(out + 4, right);
}

void BlowfishDecipherBlock(const BlowfishContext& context, const std::uint8_t* in, std::uint8_t* out) {
  std::uint32_t left = LoadU32BE(in);
  std::uint32_t right = LoadU32BE(in + 4);
  DecipherHalves(context, left, right);
  StoreU32BE(out, left);
  StoreU32BE(out + 4, right);
}

void BlowfishDecipherCBC(BlowfishContext& context, const std::uint8_t* in, std::uint8_t* out) {
  // Kept first: `in` and `out` may be the same bytes.
  std::uint8_t cipherText[kBlockSize];
  std::memcpy(cipherText, in, kBlockSize);
  std::uint8_t plain[kBlockSize];
  BlowfishDecipherBlock(context, cipherText, plain);
  XorBytes(plain, context.Chain, out, kBlockSize);
  std::memcpy(context.Chain, cipherText, kBlockSize);
}

void BlowfishWipe(BlowfishContext& context) {
  std::memset(&context, 0, sizeof context);
  // The key schedule is secret: keep the compiler from dropping the stores
  // when the context dies right after the wipe.
  __asm__ __volatile__("" : : "r"(&context) : "memory");
}

void DecipherBuffer(BlowfishContext& context, std::uint8_t* buffer, std::int32_t length) {
  const std::int32_t blocks = length / kBlockSize;
  for (std::int32_t i = 0; i < blocks; ++i) {
    std::uint8_t* block = buffer + i * kBlockSize;
    BlowfishDecipherCBC(context, block, block);
  }
}

namespace {

// The writer's CBC step.
void BlowfishEncipherCBC(BlowfishContext& context, const std::uint8_t* in, std::uint8_t* out) {
  std::uint8_t mixed[kBlockSize];
  XorBytes(in, context.Chain, mixed, kBlockSize);
  BlowfishEncipherBlock(context, mixed, context.Chain);
  std::memcpy(out, context.Chain, kBlockSize);
}

}  // namespace

void EncipherBuffer(BlowfishContext& context, std::uint8_t* buffer, std::int32_t length) {
  const std::int32_t blocks = length / kBlockSize;
  for (std::int32_t i = 0; i < blocks; ++i) {
    std::uint8_t* block = buffer + i * kBlockSize;
    BlowfishEncipherCBC(context, block, block);
  }
}

}  // namespace bzip2arc
