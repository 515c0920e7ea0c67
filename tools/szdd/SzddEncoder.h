// SZDD encoder (mode "A"): turns a file into the compressed form that the
// loader keeps as a resource and has LZ32 expand at run time.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace bzip2arc {

// The complete SZDD file for `data`: header, then the LZSS items, and nothing
// past the last item (LZ32 expands the whole stream, whatever the header says).
// The parse is optimal for the coding's fixed item sizes: the output is the
// smallest that the coding allows. Throws std::length_error beyond 4 GiB - 1
// (less on a 32-bit host).
std::vector<std::uint8_t> SzddEncode(std::span<const std::uint8_t> data);

}  // namespace bzip2arc
