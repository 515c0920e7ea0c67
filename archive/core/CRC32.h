// The common reflected CRC-32 (polynomial 0xEDB88320, ISO-HDLC / zlib).
#pragma once

#include <cstddef>
#include <cstdint>

namespace bzip2arc {

// CRC-32 of `length` bytes, initial value and final inversion included.
std::uint32_t CRC32Checksum(const void* buffer, std::size_t length);

// Runs `length` more bytes through a register, without initial value or
// final inversion: CRC32Checksum(b, n) == ~CRC32Update(b, n, 0xFFFFFFFF).
std::uint32_t CRC32Update(const void* buffer, std::size_t length, std::uint32_t crc);

}  // namespace bzip2arc
