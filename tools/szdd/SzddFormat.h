// Layout of an SZDD file in mode "A", the form that the platform's LZ
// expansion service (LZ32) expands.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bzip2arc {

inline constexpr std::uint8_t kSzddMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
inline constexpr std::size_t kSzddModeOffset = 8;
inline constexpr std::size_t kSzddMissingCharOffset = 9;
inline constexpr std::size_t kSzddLengthOffset = 10;
inline constexpr std::size_t kSzddHeaderSize = 14;
inline constexpr std::uint8_t kSzddModeA = 'A';

// The LZSS window: blanks at the start, writing from 16 bytes before its end.
inline constexpr std::size_t kSzddWindowSize = 4096;
inline constexpr std::size_t kSzddWindowMask = kSzddWindowSize - 1;
inline constexpr std::size_t kSzddWindowStart = kSzddWindowSize - 16;
inline constexpr std::uint8_t kSzddWindowFill = 0x20;

// A reference copies (b1 & 0x0F) + 3 bytes from position b0 | ((b1 & 0xF0) << 4).
inline constexpr std::size_t kSzddMinMatch = 3;
inline constexpr std::size_t kSzddMaxMatch = kSzddMinMatch + 0x0F;
inline constexpr std::size_t kSzddItemsPerGroup = 8;

}  // namespace bzip2arc
