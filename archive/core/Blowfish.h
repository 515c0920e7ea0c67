// The Blowfish block cipher (64-bit blocks, 16 rounds, keys of 1 to 56 bytes)
// with CBC chaining, as used for the archive directory.
#pragma once

#include <cstdint>

namespace bzip2arc {

struct BlowfishContext {
  std::uint8_t InitialVector[8];
  std::uint8_t Chain[8];  // CBC feedback: the last ciphertext block
  std::uint32_t S[4][256];
  std::uint32_t P[18];
};

// Builds the key schedule and loads `vector` (all zero when null) into both
// the initial vector and the chaining block. A key length outside 1..56 fails
// with EArchiveError "Blowfish: Key must be between 1 and 56 bytes long".
void BlowfishInit(BlowfishContext& context, const std::uint8_t* key, std::int32_t keyLength,
                  const std::uint8_t* vector);

// Plain Blowfish on one block; `in` and `out` may be the same bytes. Bytes 0-3
// are the left half, bytes 4-7 the right half, each most significant first.
void BlowfishEncipherBlock(const BlowfishContext& context, const std::uint8_t* in, std::uint8_t* out);
void BlowfishDecipherBlock(const BlowfishContext& context, const std::uint8_t* in, std::uint8_t* out);

// One CBC step; the chain moves on to the ciphertext block.
void BlowfishDecipherCBC(BlowfishContext& context, const std::uint8_t* in, std::uint8_t* out);

// Overwrites the whole context with zero bytes.
void BlowfishWipe(BlowfishContext& context);

// Deciphers `length` div 8 blocks of `buffer` in place, continuing the chain;
// a tail shorter than 8 bytes stays as it is.
void DecipherBuffer(BlowfishContext& context, std::uint8_t* buffer, std::int32_t length);
// The writer's counterpart: enciphers whole blocks in place.
void EncipherBuffer(BlowfishContext& context, std::uint8_t* buffer, std::int32_t length);

}  // namespace bzip2arc
