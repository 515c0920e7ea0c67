// Byte-wise XOR of two buffers, the chaining step of the directory cipher.
#pragma once

#include <cstdint>

namespace bzip2arc {

// destination[i] = a[i] XOR b[i] for i below `count`; destination may be a or b.
void XorBytes(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* destination, std::int32_t count);

}  // namespace bzip2arc
