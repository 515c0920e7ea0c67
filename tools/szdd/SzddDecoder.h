// Reference SZDD decoder (mode "A"), for tests and fuzzing of the encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace bzip2arc {

struct SzddHeader {
  std::uint8_t Mode = 0;
  std::uint8_t MissingChar = 0;
  std::uint32_t ExpandedLength = 0;
};

// Throws std::runtime_error unless `file` starts with an SZDD header of mode "A".
SzddHeader ReadSzddHeader(std::span<const std::uint8_t> file);

// Expands exactly the header's length; anything after it is ignored.
// Throws std::runtime_error if the data ends first.
std::vector<std::uint8_t> SzddDecode(std::span<const std::uint8_t> file);

// What the stream holds regardless of the header's length, as LZ32 expands it.
struct SzddStream {
  std::vector<std::uint8_t> Bytes;
  std::size_t Literals = 0;
  std::size_t References = 0;
  std::size_t FlagBytes = 0;
};

// Expands every item up to the end of the file. Throws std::runtime_error if
// the file ends inside a reference.
SzddStream SzddExpandWholeStream(std::span<const std::uint8_t> file);

}  // namespace bzip2arc
