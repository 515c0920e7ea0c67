#include "XorBytes.h"

namespace bzip2arc {

void XorBytes(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* destination, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) destination[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
}

}  // namespace bzip2arc
